# What the release tests share: morvane_build_release(FOLDER [-D...]) configures the release in
# FOLDER from SOURCE_DIR as the tree GENERATOR/TOOLCHAIN/BUILD_TYPE was, with the tests off, the
# extra arguments and the release dated EPOCH, and builds it.

function(morvane_build_release folder)
  file(REMOVE_RECURSE ${folder})
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${EPOCH}
            ${CMAKE_COMMAND} -G ${GENERATOR} -S ${SOURCE_DIR} -B ${folder} --toolchain ${TOOLCHAIN}
            -DCMAKE_BUILD_TYPE=${BUILD_TYPE} -DMORVANE_TESTS=OFF ${ARGN}
    COMMAND_ERROR_IS_FATAL ANY)
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${folder} COMMAND_ERROR_IS_FATAL ANY)
endfunction()
