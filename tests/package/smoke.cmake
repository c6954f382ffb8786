# The smoke of the shipped 32-bit program: makes the release archive with CPack, unpacks it, and
# runs the 64-bit smoke driver from inside the unpacked folder in a prefix of its own, made for
# this test alone (a first run needs one without a store, and the test must not wait on the
# tree's prefix, whose 32-bit programs may be skipped here).
#
#   cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DDRIVER=...smoke_driver.exe -P smoke.cmake
#
# Where Wine cannot run 32-bit programs at all, it prints wine-loader.sh's SKIPPED line and stops.

foreach(var BUILD_DIR SOURCE_DIR DRIVER)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

# Where the kernel cannot run 32-bit programs, the test command names in MORVANE_EMULATE_I386 the
# wrapper that has qemu run them for the commands it is given (scripts/emulate-i386.sh): the check
# below and the driver, whose morvane.exe is the one 32-bit program it starts. This is the one
# 32-bit test that runs so.
set(emulate)
if(DEFINED ENV{MORVANE_EMULATE_I386})
  set(emulate sh $ENV{MORVANE_EMULATE_I386})
endif()
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env MORVANE_WINE_BITS=32 MORVANE_WINE_EMULATION=allow
          ${emulate} sh -c ". '${SOURCE_DIR}/cmake/wine-loader.sh' && wine_loader"
  RESULT_VARIABLE runs ERROR_VARIABLE why)
if(NOT runs EQUAL 0)
  message(STATUS "${why}")
  return()
endif()

include(${CMAKE_CURRENT_LIST_DIR}/pack.cmake)
set(work ${BUILD_DIR}/smoke)
morvane_pack(${work})
file(GLOB folder LIST_DIRECTORIES true ${work}/unpacked/*)
if(NOT EXISTS ${folder}/morvane.exe)
  message(FATAL_ERROR "no morvane.exe in ${archive}")
endif()
get_filename_component(driver_name ${DRIVER} NAME)
file(COPY ${DRIVER} DESTINATION ${folder})

# The prefix is booted by Wine's 64-bit loader, which every kernel runs; its 32-bit half is set
# up by 32-bit programs, which need the emulation as much as morvane.exe does. So the boot, the
# driver and the end of the prefix's server all run in one go through the wrapper.
set(prefix ${work}/wineprefix)
set(session [=[
began=$(date +%s)
sh "$1/cmake/wine-prefix.sh" up "$2" 64 || exit 1
booted=$(date +%s)
echo "-- prefix booted in $((booted - began)) s"
MORVANE_WINEPREFIX="$2" MORVANE_WINE_BITS=64 sh "$1/cmake/wine-run.sh" "$3"
status=$?
sh "$1/cmake/wine-prefix.sh" down "$2"
echo "-- smoke driver ran for $(($(date +%s) - booted)) s"
exit $status
]=])
execute_process(
  COMMAND ${emulate} sh -c "${session}" session ${SOURCE_DIR} ${prefix} ${folder}/${driver_name}
  WORKING_DIRECTORY ${folder} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the smoke of the shipped 32-bit morvane.exe failed (exit ${result})")
endif()
