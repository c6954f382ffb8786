# The release archive: what a Windows user unzips and runs.
#
#   cpack   (or: cmake --build . --target package)  in a build tree
#   -> morvane-<version>-win32.zip  holding  morvane-<version>-win32/
#        morvane.exe  warning.wav  drums.wav  help.hlp  help.html  readme.txt
#
# Only the 32-bit build is released. The schedule lives under HKEY_LOCAL_MACHINE, which a standard
# user can write only through the registry virtualisation Windows gives 32-bit programs: the
# 64-bit program would fail at its first start there. So the 64-bit tree has no package target:
# its tests alone pack its files, as morvane-<version>-win64-test-only.zip, from a CPack
# configuration kept among the tests.
# Included from the top-level CMakeLists.txt after the program and its data files.

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(MORVANE_PACKAGE_SYSTEM win32)
  set(MORVANE_CPACK_CONFIG ${CMAKE_BINARY_DIR}/CPackConfig.cmake)
else()
  set(MORVANE_PACKAGE_SYSTEM win64-test-only)
  # CMake makes the package target only for a configuration at the top of the tree.
  set(MORVANE_CPACK_CONFIG ${CMAKE_BINARY_DIR}/tests/CPackConfig.cmake)
  set(CPACK_OUTPUT_CONFIG_FILE ${MORVANE_CPACK_CONFIG})
endif()
set(MORVANE_PACKAGE_NAME morvane-${PROJECT_VERSION}-${MORVANE_PACKAGE_SYSTEM})
# The archive's vendor, and the installer package's publisher in Apps & features.
set(MORVANE_PUBLISHER "The Morvane developers")

# Notepad on older Windows shows a file without carriage returns as one long line.
configure_file(${CMAKE_SOURCE_DIR}/data/readme.txt ${CMAKE_BINARY_DIR}/readme.txt
               @ONLY NEWLINE_STYLE CRLF)

# Everything lies flat in one folder: the program takes its working directory as its
# installation folder and opens the sounds and the help by bare name. The program is the
# release's, stripped (and signed) once by cmake/release.cmake, so that every package of one
# build holds the same bytes.
install(PROGRAMS ${MORVANE_RELEASE_EXE} DESTINATION .)
install(FILES ${CMAKE_BINARY_DIR}/bin/warning.wav
              ${CMAKE_BINARY_DIR}/bin/drums.wav
              ${CMAKE_BINARY_DIR}/bin/help.hlp
              ${CMAKE_BINARY_DIR}/bin/help.html
              ${CMAKE_BINARY_DIR}/readme.txt
        DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Morvane)
set(CPACK_PACKAGE_VENDOR ${MORVANE_PUBLISHER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "A notification-area reminder for weekly TV programmes")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME ${MORVANE_PACKAGE_NAME})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
# No source archive: the repository is the source.
set(CPACK_SOURCE_GENERATOR "")
include(CPack)

# The test: the archive unpacked into an empty folder, and the program started from there.
if(MORVANE_TESTS)
  add_executable(package_test ${CMAKE_SOURCE_DIR}/tests/package/package_test.cpp)
  target_compile_options(package_test PRIVATE ${MORVANE_WARNINGS})
  target_compile_definitions(package_test PRIVATE
    MORVANE_VERSION="${PROJECT_VERSION}"
    MORVANE_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
    MORVANE_VERSION_MINOR=${PROJECT_VERSION_MINOR}
    MORVANE_VERSION_PATCH=${PROJECT_VERSION_PATCH})
  target_link_libraries(package_test PRIVATE gtest_main morvane_e2e version psapi)
  set_target_properties(package_test PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  add_dependencies(package_test morvane morvane_data)
  add_test(NAME package_test
           COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR}
                   -DPACKAGE_NAME=${MORVANE_PACKAGE_NAME} -DVERSION=${PROJECT_VERSION}
                   -DDRIVER=$<TARGET_FILE:package_test> -DWINE_RUN=${CMAKE_BINARY_DIR}/wine-run.sh
                   -P ${CMAKE_SOURCE_DIR}/tests/package/unpack_and_run.cmake)
  # It opens the help viewer, which is one per desktop.
  set_tests_properties(package_test PROPERTIES FIXTURES_REQUIRED wine
                       RESOURCE_LOCK "morvane_store;help_viewer" TIMEOUT 300)
endif()

# The smoke of the shipped 32-bit program (tests/package/smoke.cmake). Its driver is a 64-bit
# program, built here with the 64-bit compiler, so that where the kernel cannot run 32-bit programs
# only morvane.exe runs under emulation: there it is the one 32-bit test that starts the program.
if(MORVANE_TESTS AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  find_program(MORVANE_CXX64 x86_64-w64-mingw32-g++-posix REQUIRED)
  set(smoke_driver ${CMAKE_BINARY_DIR}/tests/smoke_driver.exe)
  set(smoke_sources ${CMAKE_SOURCE_DIR}/tests/package/smoke_driver.cpp
                    ${CMAKE_SOURCE_DIR}/tests/e2e/e2e.cpp
                    ${CMAKE_SOURCE_DIR}/tests/support/unmanaged.cpp)
  add_custom_command(
    OUTPUT ${smoke_driver}
    COMMAND ${MORVANE_CXX64} -std=c++17 -O2 ${MORVANE_WARNINGS} -static -o ${smoke_driver}
            -I${CMAKE_SOURCE_DIR}/tests/support
            ${smoke_sources} -luser32 -ladvapi32 -lshlwapi -lshell32
    DEPENDS ${smoke_sources} ${CMAKE_SOURCE_DIR}/tests/e2e/e2e.h
            ${CMAKE_SOURCE_DIR}/tests/support/unmanaged.h ${CMAKE_SOURCE_DIR}/res/resource.h
    COMMENT "Building the 64-bit smoke driver"
    VERBATIM)
  add_custom_target(smoke_driver ALL DEPENDS ${smoke_driver})
  add_test(NAME package_smoke
           COMMAND ${MORVANE_OWN_DISPLAY} 150 ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR} -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
                   -DDRIVER=${smoke_driver} -P ${CMAKE_SOURCE_DIR}/tests/package/smoke.cmake)
  # An emulated start takes about a minute, and booting the prefix under emulation two.
  set_tests_properties(package_smoke PROPERTIES SKIP_REGULAR_EXPRESSION "wine-run: SKIPPED"
                                                TIMEOUT 1500)
  set_tests_properties(package_smoke PROPERTIES COST 1000)
endif()
