# Packs the release archive as `cpack` does and fails unless the morvane.exe in it, stripped as
# it ships, is within its budget.
#
#   cmake -DBUILD_DIR=... -DBUDGET=<bytes> -P size_check.cmake

foreach(var BUILD_DIR BUDGET)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

set(work ${BUILD_DIR}/size-check)
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work}/unpacked)

execute_process(
  COMMAND ${CMAKE_CPACK_COMMAND} -G ZIP --config ${BUILD_DIR}/CPackConfig.cmake -B ${work}
  WORKING_DIRECTORY ${BUILD_DIR}
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
file(GLOB archive ${work}/*.zip)
list(LENGTH archive archives)
if(NOT result EQUAL 0 OR NOT archives EQUAL 1)
  message(FATAL_ERROR "cpack did not make one archive in ${work} (exit ${result}):\n${output}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${archive}
                WORKING_DIRECTORY ${work}/unpacked RESULT_VARIABLE result)
file(GLOB exe ${work}/unpacked/*/morvane.exe)
if(NOT result EQUAL 0 OR NOT exe)
  message(FATAL_ERROR "no morvane.exe unpacked from ${archive}")
endif()

file(SIZE ${exe} size)
get_filename_component(archive_name ${archive} NAME)
if(size GREATER BUDGET)
  math(EXPR over "${size} - ${BUDGET}")
  message(FATAL_ERROR "morvane.exe in ${archive_name} is ${size} bytes, over its budget of "
                      "${BUDGET} bytes by ${over}")
endif()
message(STATUS "morvane.exe in ${archive_name}: ${size} bytes, budget ${BUDGET} bytes")
