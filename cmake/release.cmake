# The release: the same bytes from every build of one commit, and signed where a code-signing
# certificate is given.
#
#   release/morvane.exe   the program as it ships: stripped, and signed with a certificate
#   morvane-<version>-win32.zip, morvane-<version>-win32.msi and SHA256SUMS beside them
#                         (the 32-bit tree's default target; see morvane_release_checksums)
#
# The time the release carries is its last commit's (SOURCE_DATE_EPOCH, from the environment
# if set there at configure time). The linker writes it into the PE header, the archive and the
# installer package date their files with it, and the package's summary holds it.
#
# Signing (osslsigncode) is set at configure time, with -D or from the environment:
#   MORVANE_SIGN_PKCS12     the certificate and its key, a PKCS#12 file kept outside the tree
#   MORVANE_PROJECT_URL     the project's address, which the signature names beside "Morvane"
#   MORVANE_TIMESTAMP_URL   an RFC 3161 time-stamp server (optional)
# and the file's password is read from the environment variable MORVANE_SIGN_PASSWORD when the
# build signs, and handed to osslsigncode through a pipe (cmake/sign.cmake), so that it is written
# to no file.
# Included from the top-level CMakeLists.txt after the program, before cmake/package.cmake.

set(MORVANE_TOOL_RELEASE ${CMAKE_SOURCE_DIR}/tools/release.py)

# Outside a git checkout (an unpacked source archive) the release carries this fixed date:
# 2026-01-01 00:00 UTC. In a checkout whose time cannot be read, it says why: that build gives
# other bytes than every other build of its commit.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(MORVANE_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
else()
  include(${CMAKE_SOURCE_DIR}/cmake/commit-time.cmake)
  morvane_commit_time(${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/CMakeFiles/git-home)
  set(MORVANE_SOURCE_DATE_EPOCH ${commit_time})
  # A new commit is a new date.
  if(commit_log AND EXISTS ${commit_log})
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${commit_log})
  endif()
  if("${MORVANE_SOURCE_DATE_EPOCH}" STREQUAL "")
    if(EXISTS ${CMAKE_SOURCE_DIR}/.git)
      message(WARNING "The release cannot read its commit's time (${why}): it carries 1 January "
                      "2026 instead, and other bytes than every other build of this commit. To "
                      "match them, set SOURCE_DATE_EPOCH to the commit's time "
                      "(git log -1 --format=%ct) when configuring.")
    endif()
    set(MORVANE_SOURCE_DATE_EPOCH 1767225600)
  endif()
endif()
# A zip entry's date runs from 1980 to 2107.
if(NOT MORVANE_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$" OR MORVANE_SOURCE_DATE_EPOCH LESS 315532800
   OR MORVANE_SOURCE_DATE_EPOCH GREATER 4354819199)
  message(FATAL_ERROR "SOURCE_DATE_EPOCH must be a time between 1980 and 2107 in seconds since "
                      "1970, not \"${MORVANE_SOURCE_DATE_EPOCH}\"")
endif()
message(STATUS "The release carries the time ${MORVANE_SOURCE_DATE_EPOCH} (SOURCE_DATE_EPOCH)")

# Debian's MinGW linker writes SOURCE_DATE_EPOCH as the PE time stamp instead of its clock.
set_property(TARGET morvane PROPERTY RULE_LAUNCH_LINK
             "${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${MORVANE_SOURCE_DATE_EPOCH}")

# libmsi, which sets the package's summary, is reached through Debian's GObject bindings, which
# only the system's Python has.
foreach(python ${Python3_EXECUTABLE} /usr/bin/python3)
  execute_process(COMMAND ${python} -c "import gi; gi.require_version('Libmsi', '1.0')"
                  RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
  if(result EQUAL 0)
    set(MORVANE_RELEASE_PYTHON ${python})
    break()
  endif()
endforeach()
if(NOT MORVANE_RELEASE_PYTHON)
  message(FATAL_ERROR "No Python with libmsi's bindings (Debian packages python3-gi and "
                      "gir1.2-libmsi-1.0), which make the installer package reproducible; "
                      "scripts/setup.sh installs them")
endif()

set(MORVANE_SIGN_PKCS12 "$ENV{MORVANE_SIGN_PKCS12}" CACHE FILEPATH
    "PKCS#12 file with the code-signing certificate and key (password: MORVANE_SIGN_PASSWORD)")
set(MORVANE_PROJECT_URL "$ENV{MORVANE_PROJECT_URL}" CACHE STRING
    "The project's address, named in the signature")
set(MORVANE_TIMESTAMP_URL "$ENV{MORVANE_TIMESTAMP_URL}" CACHE STRING
    "RFC 3161 time-stamp server for the signature (optional)")
set(MORVANE_SIGN_COMMAND)
if(MORVANE_SIGN_PKCS12)
  find_program(MORVANE_OSSLSIGNCODE osslsigncode)
  if(NOT MORVANE_OSSLSIGNCODE)
    message(FATAL_ERROR "osslsigncode signs the release; scripts/setup.sh installs it")
  endif()
  if(NOT EXISTS ${MORVANE_SIGN_PKCS12})
    message(FATAL_ERROR "MORVANE_SIGN_PKCS12: no file ${MORVANE_SIGN_PKCS12}")
  endif()
  if(MORVANE_PROJECT_URL STREQUAL "")
    message(FATAL_ERROR "Signing names the project's address: set MORVANE_PROJECT_URL too")
  endif()
  # Followed by -DINPUT=... -DOUTPUT=... -P: run as a command of the build.
  set(MORVANE_SIGN_COMMAND ${CMAKE_COMMAND} -DOSSLSIGNCODE=${MORVANE_OSSLSIGNCODE}
      -DPKCS12=${MORVANE_SIGN_PKCS12} -DURL=${MORVANE_PROJECT_URL}
      -DTIMESTAMP_URL=${MORVANE_TIMESTAMP_URL})
  message(STATUS "The release is signed with ${MORVANE_SIGN_PKCS12}")
endif()

# morvane_sign(IN OUT): the command arguments that sign IN into OUT, or nothing without a
# certificate; set in the caller's variable sign.
function(morvane_sign in out)
  set(sign)
  if(MORVANE_SIGN_COMMAND)
    set(sign COMMAND ${MORVANE_SIGN_COMMAND} -DINPUT=${in} -DOUTPUT=${out}
                     -P ${CMAKE_SOURCE_DIR}/cmake/sign.cmake)
  endif()
  set(sign ${sign} PARENT_SCOPE)
endfunction()

# The program is stripped and signed once: the archive and the installer package both take
# this file, so that they carry the very same program. strip would write its own clock into the
# PE header without SOURCE_DATE_EPOCH.
set(MORVANE_RELEASE_EXE ${CMAKE_BINARY_DIR}/release/morvane.exe)
set(stripped ${MORVANE_RELEASE_EXE})
if(MORVANE_SIGN_COMMAND)
  set(stripped ${CMAKE_BINARY_DIR}/release/unsigned/morvane.exe)
endif()
morvane_sign(${stripped} ${MORVANE_RELEASE_EXE})
add_custom_command(
  OUTPUT ${MORVANE_RELEASE_EXE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/release/unsigned
  COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${MORVANE_SOURCE_DATE_EPOCH}
          ${CMAKE_STRIP} -o ${stripped} $<TARGET_FILE:morvane>
  ${sign}
  DEPENDS morvane ${MORVANE_SIGN_PKCS12} ${CMAKE_SOURCE_DIR}/cmake/sign.cmake
  COMMENT "Stripping morvane.exe for the release"
  VERBATIM)
add_custom_target(morvane_release_exe ALL DEPENDS ${MORVANE_RELEASE_EXE})

# The release archive written by `cpack` or the package target gets the same bytes as the one
# this build writes: CPack lists the files in the order the file system gives them and dates
# them by the build, so it is written again from CPack's staged folder.
set(CPACK_MORVANE_PYTHON ${MORVANE_RELEASE_PYTHON})
set(CPACK_MORVANE_TOOL ${MORVANE_TOOL_RELEASE})
set(CPACK_MORVANE_SOURCE_DATE_EPOCH ${MORVANE_SOURCE_DATE_EPOCH})
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/cpack-reproducible-zip.cmake)

# morvane_release_checksums(MSI): in the 32-bit tree, the release archive and SHA256SUMS for it
# and MSI, written by the default target. Called once the installer package is known.
function(morvane_release_checksums msi)
  if(NOT CMAKE_SIZEOF_VOID_P EQUAL 4)
    return()
  endif()
  set(zip ${CMAKE_BINARY_DIR}/${MORVANE_PACKAGE_NAME}.zip)
  set(stage ${CMAKE_BINARY_DIR}/zip-stage/${MORVANE_PACKAGE_NAME})
  add_custom_command(
    OUTPUT ${zip}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage}
    COMMAND ${CMAKE_COMMAND} --install ${CMAKE_BINARY_DIR} --prefix ${stage}
    COMMAND ${MORVANE_RELEASE_PYTHON} ${MORVANE_TOOL_RELEASE} zip ${MORVANE_SOURCE_DATE_EPOCH}
            ${stage} ${zip}
    DEPENDS ${MORVANE_RELEASE_EXE} ${MORVANE_TOOL_RELEASE} ${CMAKE_BINARY_DIR}/cmake_install.cmake
            ${CMAKE_BINARY_DIR}/readme.txt ${CMAKE_BINARY_DIR}/bin/warning.wav
            ${CMAKE_BINARY_DIR}/bin/drums.wav ${CMAKE_BINARY_DIR}/bin/help.hlp
            ${CMAKE_BINARY_DIR}/bin/help.html
    COMMENT "Writing ${MORVANE_PACKAGE_NAME}.zip"
    VERBATIM)
  set(sums ${CMAKE_BINARY_DIR}/SHA256SUMS)
  add_custom_command(
    OUTPUT ${sums}
    COMMAND ${MORVANE_RELEASE_PYTHON} ${MORVANE_TOOL_RELEASE} sums ${sums} ${msi} ${zip}
    DEPENDS ${msi} ${zip} ${MORVANE_TOOL_RELEASE}
    COMMENT "Writing SHA256SUMS"
    VERBATIM)
  add_custom_target(checksums ALL DEPENDS ${sums})

  if(NOT MORVANE_TESTS)
    return()
  endif()
  # The release built again elsewhere must give the same bytes (not where this tree signs: a
  # signature holds the time it was made), and built with a throwaway certificate, be signed.
  # They only build, so they give way (nice) to the tests that wait on the clock beside them.
  set(release_test nice -n 10 ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -DBUILD_DIR=${CMAKE_BINARY_DIR}
      -DGENERATOR=${CMAKE_GENERATOR} -DTOOLCHAIN=${CMAKE_TOOLCHAIN_FILE}
      -DBUILD_TYPE=${CMAKE_BUILD_TYPE} -DEPOCH=${MORVANE_SOURCE_DATE_EPOCH}
      -DPACKAGE_NAME=${MORVANE_PACKAGE_NAME} -P ${CMAKE_SOURCE_DIR}/tests/release)
  if(NOT MORVANE_SIGN_COMMAND)
    add_test(NAME release_reproducible COMMAND ${release_test}/reproducible.cmake)
    set_tests_properties(release_reproducible PROPERTIES TIMEOUT 600)
  endif()
  add_test(NAME release_signed COMMAND ${release_test}/signed.cmake)
  # The signed program still starts: the package test's first start, from its own archive.
  add_test(NAME release_signed_starts
           COMMAND ${CMAKE_COMMAND} -E env
                   GTEST_FILTER=Unpacked.StartsGreetsShowsItsTrayWindowAndEndsWithCodeZero
                   ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR}/signed/build
                   -DPACKAGE_NAME=${MORVANE_PACKAGE_NAME} -DVERSION=${PROJECT_VERSION}
                   -DDRIVER=$<TARGET_FILE:package_test> -DWINE_RUN=${CMAKE_BINARY_DIR}/wine-run.sh
                   -P ${CMAKE_SOURCE_DIR}/tests/package/unpack_and_run.cmake)
  set_tests_properties(release_signed PROPERTIES TIMEOUT 600 FIXTURES_SETUP signed_release)
  set_tests_properties(release_signed_starts PROPERTIES TIMEOUT 300
                       FIXTURES_REQUIRED "wine;signed_release" RESOURCE_LOCK morvane_store)
endfunction()
