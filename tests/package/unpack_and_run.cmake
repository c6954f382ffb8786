# Makes the release archive with CPack, unpacks it into an empty folder, checks what it holds,
# and runs the package test driver from inside that folder under Wine.
#
#   cmake -DBUILD_DIR=... -DPACKAGE_NAME=morvane-1.0.0-win32 -DVERSION=1.0.0 -DDRIVER=...exe
#         -DWINE_RUN=.../wine-run.sh -P unpack_and_run.cmake

foreach(var BUILD_DIR PACKAGE_NAME VERSION DRIVER WINE_RUN)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

include(${CMAKE_CURRENT_LIST_DIR}/pack.cmake)
set(work ${BUILD_DIR}/package-test)
morvane_pack(${work})
if(NOT archive STREQUAL ${work}/${PACKAGE_NAME}.zip)
  message(FATAL_ERROR "cpack made ${archive} instead of ${work}/${PACKAGE_NAME}.zip")
endif()

# One folder named like the archive, holding exactly what the program needs beside it.
file(GLOB_RECURSE found LIST_DIRECTORIES false RELATIVE ${work}/unpacked ${work}/unpacked/*)
list(SORT found)
set(expected drums.wav help.hlp help.html morvane.exe readme.txt warning.wav)
list(TRANSFORM expected PREPEND ${PACKAGE_NAME}/)
if(NOT found STREQUAL expected)
  message(FATAL_ERROR "the archive holds\n  ${found}\ninstead of\n  ${expected}")
endif()
set(folder ${work}/unpacked/${PACKAGE_NAME})

# The readme is for Notepad: every line ends in CR LF, and it names this version.
# file(READ) drops carriage returns from text, so the bytes are counted in hex, one pair each.
file(READ ${folder}/readme.txt hex HEX)
string(REGEX REPLACE "(..)" " \\1" bytes "${hex} ")
string(REGEX MATCHALL " 0a" line_feeds "${bytes}")
string(REGEX MATCHALL " 0d 0a" crlfs "${bytes}")
list(LENGTH line_feeds n_lf)
list(LENGTH crlfs n_crlf)
if(n_lf EQUAL 0 OR NOT n_lf EQUAL n_crlf)
  message(FATAL_ERROR "readme.txt: ${n_lf} line ends, of which ${n_crlf} are CR LF")
endif()
file(READ ${folder}/readme.txt text)
string(FIND "${text}" "${VERSION}" at)
if(at LESS 0)
  message(FATAL_ERROR "readme.txt does not name version ${VERSION}")
endif()

# The driver finds morvane.exe in its own folder and starts it with that folder as its
# working directory.
get_filename_component(driver_name ${DRIVER} NAME)
file(COPY ${DRIVER} DESTINATION ${folder})
execute_process(COMMAND ${WINE_RUN} ${folder}/${driver_name}
                WORKING_DIRECTORY ${folder} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the package test driver failed (exit ${result})")
endif()
