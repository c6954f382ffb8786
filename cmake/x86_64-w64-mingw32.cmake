# 64-bit Windows: built and tested so that pointer-size faults cannot hide.
set(MORVANE_TRIPLE x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
