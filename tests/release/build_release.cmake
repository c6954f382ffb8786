# What the release tests share: morvane_build_release(FOLDER [-D...]) configures the release in
# FOLDER from SOURCE_DIR as the tree GENERATOR/TOOLCHAIN/BUILD_TYPE was, with the tests off and
# the release dated EPOCH, and builds it; the extra arguments go to the configure step.
# morvane_extract(ARCHIVE|MSI FOLDER) unpacks either into FOLDER and sets exe to its morvane.exe.

function(morvane_build_release folder)
  file(REMOVE_RECURSE ${folder})
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${EPOCH}
            ${CMAKE_COMMAND} -G ${GENERATOR} -S ${SOURCE_DIR} -B ${folder} --toolchain ${TOOLCHAIN}
            -DCMAKE_BUILD_TYPE=${BUILD_TYPE} -DMORVANE_TESTS=OFF ${ARGN}
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(result EQUAL 0)
    execute_process(COMMAND ${CMAKE_COMMAND} --build ${folder}
                    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  endif()
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "the release in ${folder} did not build (exit ${result}):\n${output}")
  endif()
endfunction()

function(morvane_extract file folder)
  file(REMOVE_RECURSE ${folder})
  file(MAKE_DIRECTORY ${folder})
  if(file MATCHES "\\.msi$")
    set(command msiextract -C ${folder} ${file})
  else()
    set(command ${CMAKE_COMMAND} -E tar xf ${file})
  endif()
  execute_process(COMMAND ${command} WORKING_DIRECTORY ${folder} RESULT_VARIABLE result
                  OUTPUT_QUIET)
  file(GLOB_RECURSE found ${folder}/morvane.exe)
  list(LENGTH found count)
  if(NOT result EQUAL 0 OR NOT count EQUAL 1)
    message(FATAL_ERROR "${file} does not unpack to one morvane.exe (exit ${result})")
  endif()
  set(exe ${found} PARENT_SCOPE)
endfunction()
