# Run by CPack once it has made the release archive (CPACK_POST_BUILD_SCRIPTS, set in
# cmake/release.cmake): writes it again from CPack's staged folder with tools/release.py, as the
# build writes its own, in name order and dated by SOURCE_DATE_EPOCH, so that `cpack` and the
# package target give the same bytes as the build.

foreach(archive IN LISTS CPACK_PACKAGE_FILES)
  if(NOT archive MATCHES "\\.zip$")
    continue()
  endif()
  execute_process(COMMAND ${CPACK_MORVANE_PYTHON} ${CPACK_MORVANE_TOOL} zip
                          ${CPACK_MORVANE_SOURCE_DATE_EPOCH} ${CPACK_TEMPORARY_DIRECTORY} ${archive}
                  RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "cannot write ${archive} again (exit ${result})")
  endif()
endforeach()
