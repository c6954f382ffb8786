# What the package scripts share: morvane_pack(WORK) empties the folder WORK, makes the release
# archive there with CPack from the build tree BUILD_DIR, unpacks it into WORK/unpacked, and
# sets archive to the archive's path.

function(morvane_pack work)
  file(REMOVE_RECURSE ${work})
  file(MAKE_DIRECTORY ${work}/unpacked)
  # A tree whose archive is no release keeps its configuration among the tests.
  set(config ${BUILD_DIR}/tests/CPackConfig.cmake)
  if(NOT EXISTS ${config})
    set(config ${BUILD_DIR}/CPackConfig.cmake)
  endif()
  execute_process(
    COMMAND ${CMAKE_CPACK_COMMAND} -G ZIP --config ${config} -B ${work}
    WORKING_DIRECTORY ${BUILD_DIR}
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  file(GLOB made ${work}/*.zip)
  list(LENGTH made count)
  if(NOT result EQUAL 0 OR NOT count EQUAL 1)
    message(FATAL_ERROR "cpack did not make one archive in ${work} (exit ${result}):\n${output}")
  endif()
  get_filename_component(name ${made} NAME)
  file(SIZE ${made} size)
  message(STATUS "${name}: ${size} bytes")

  execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${made}
                  WORKING_DIRECTORY ${work}/unpacked RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "cannot unpack ${made}")
  endif()
  set(archive ${made} PARENT_SCOPE)
endfunction()
