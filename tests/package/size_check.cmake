# Packs the release archive as `cpack` does and fails unless the morvane.exe in it, stripped as
# it ships, is within its budget.
#
#   cmake -DBUILD_DIR=... -DBUDGET=<bytes> -P size_check.cmake

foreach(var BUILD_DIR BUDGET)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

include(${CMAKE_CURRENT_LIST_DIR}/pack.cmake)
set(work ${BUILD_DIR}/size-check)
morvane_pack(${work})
file(GLOB exe ${work}/unpacked/*/morvane.exe)
if(NOT exe)
  message(FATAL_ERROR "no morvane.exe in ${archive}")
endif()

file(SIZE ${exe} size)
get_filename_component(archive_name ${archive} NAME)
if(size GREATER BUDGET)
  math(EXPR over "${size} - ${BUDGET}")
  message(FATAL_ERROR "morvane.exe in ${archive_name} is ${size} bytes, over its budget of "
                      "${BUDGET} bytes by ${over}")
endif()
message(STATUS "morvane.exe in ${archive_name}: ${size} bytes, budget ${BUDGET} bytes")
