# Builds the release a second time in a fresh folder at another path and checks that what ships
# is the same bytes as the tree's own: morvane.exe, the archive (as the build and as cpack write
# it), the installer package and SHA256SUMS. A difference is named with its first offset.
#
#   cmake -DSOURCE_DIR=... -DBUILD_DIR=... -DGENERATOR=... -DTOOLCHAIN=... -DBUILD_TYPE=...
#         -DEPOCH=... -DPACKAGE_NAME=... -P reproducible.cmake

include(${CMAKE_CURRENT_LIST_DIR}/build_release.cmake)
set(work ${BUILD_DIR}/reproducible)
set(again ${work}/built/again/elsewhere)
# A certificate in the environment would sign it, and a signature holds the time it was made.
morvane_build_release(${again} -DMORVANE_SIGN_PKCS12=)
execute_process(COMMAND ${CMAKE_CPACK_COMMAND} --config ${again}/CPackConfig.cmake -B ${work}/cpack
                OUTPUT_QUIET)

set(differences)
foreach(name release/morvane.exe ${PACKAGE_NAME}.zip ${PACKAGE_NAME}.msi SHA256SUMS
             cpack:${PACKAGE_NAME}.zip)
  set(ours ${BUILD_DIR}/${name})
  set(theirs ${again}/${name})
  if(name MATCHES "^cpack:(.*)")
    set(ours ${BUILD_DIR}/${CMAKE_MATCH_1})
    set(theirs ${work}/cpack/${CMAKE_MATCH_1})
  endif()
  if(NOT EXISTS ${theirs})
    string(APPEND differences "\n  ${name}: not made again")
    continue()
  endif()
  file(SHA256 ${ours} sha_ours)
  file(SHA256 ${theirs} sha_theirs)
  if(NOT sha_ours STREQUAL sha_theirs)
    # cmp counts bytes from 1: "differ: byte N", or "EOF on FILE after byte N" where one is a
    # prefix of the other.
    execute_process(COMMAND cmp ${ours} ${theirs} OUTPUT_VARIABLE said ERROR_VARIABLE said)
    set(offset "?")
    if(said MATCHES "EOF on .* after byte ([0-9]+)")
      set(offset ${CMAKE_MATCH_1})
    elseif(said MATCHES "differ: byte ([0-9]+)")
      math(EXPR offset "${CMAKE_MATCH_1} - 1")
    endif()
    string(APPEND differences "\n  ${name}: differs first at offset ${offset}"
                              " (SHA-256 ${sha_ours} here, ${sha_theirs} again)")
  endif()
endforeach()
if(differences)
  message(FATAL_ERROR "a second build of the release in ${again} gave other bytes:${differences}")
endif()
message(STATUS "built again in ${again}: the same morvane.exe, archive, package and SHA256SUMS")
file(REMOVE_RECURSE ${work})
