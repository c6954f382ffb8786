# Makes a throwaway certificate authority and code-signing certificate with openssl, builds the
# release signed with them, and checks with osslsigncode against that authority that the
# morvane.exe in the archive, the one in the installer package (the same file) and the package
# itself carry a valid SHA-256 signature that names Morvane and the project's address. The
# build signs through a stand-in for osslsigncode that fails should the password be on its
# command line or in a file of the build when it is called, or come through the pipe with a byte
# more, and once built, no file of the build may hold the password either.
#
#   cmake -DSOURCE_DIR=... -DBUILD_DIR=... -DGENERATOR=... -DTOOLCHAIN=... -DBUILD_TYPE=...
#         -DEPOCH=... -DPACKAGE_NAME=... -P signed.cmake
# leaves the signed build in BUILD_DIR/signed/build for the test that starts its program.

include(${CMAKE_CURRENT_LIST_DIR}/build_release.cmake)
set(work ${BUILD_DIR}/signed)
set(keys ${work}/keys)
set(url https://morvane.invalid/release-test)
file(REMOVE_RECURSE ${keys})
file(MAKE_DIRECTORY ${keys})
file(WRITE ${keys}/leaf.cnf
     "basicConstraints=CA:false\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n")
foreach(step
    "req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj /CN=Test-CA -addext basicConstraints=critical,CA:true -addext keyUsage=critical,keyCertSign"
    "req -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr -subj /CN=Test-signer"
    "x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -extfile leaf.cnf -out signer.pem"
    "pkcs12 -export -inkey signer.key -in signer.pem -out signer.p12 -passout pass:not-in-the-tree")
  separate_arguments(arguments UNIX_COMMAND "${step}")
  execute_process(COMMAND openssl ${arguments} WORKING_DIRECTORY ${keys} COMMAND_ERROR_IS_FATAL ANY)
endforeach()

find_program(osslsigncode osslsigncode REQUIRED)
string(CONFIGURE [=[#!/bin/sh
case " $* " in *"$MORVANE_SIGN_PASSWORD"*) echo "password on the command line" >&2; exit 1 ;; esac
grep -rlF -e "$MORVANE_SIGN_PASSWORD" "@work@/build" >&2 && echo "password in a file" >&2 && exit 1
echo "$*" >>"@keys@/signed.log"
[ "$(cat; echo .)" = "$MORVANE_SIGN_PASSWORD." ] || { echo "not the password alone" >&2; exit 1; }
printf '%s' "$MORVANE_SIGN_PASSWORD" | exec "@osslsigncode@" "$@"
]=] stand_in @ONLY)
file(WRITE ${keys}/osslsigncode "${stand_in}")
file(CHMOD ${keys}/osslsigncode PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)

set(ENV{MORVANE_SIGN_PASSWORD} not-in-the-tree)
morvane_build_release(${work}/build -DMORVANE_SIGN_PKCS12=${keys}/signer.p12
                      -DMORVANE_PROJECT_URL=${url} -DMORVANE_TIMESTAMP_URL=
                      -DMORVANE_OSSLSIGNCODE=${keys}/osslsigncode)
file(STRINGS ${keys}/signed.log signings)
list(LENGTH signings count)
execute_process(COMMAND grep -rlF -e $ENV{MORVANE_SIGN_PASSWORD} ${work}/build
                OUTPUT_VARIABLE holding)
if(NOT count EQUAL 2 OR holding)
  message(FATAL_ERROR "signed ${count} times (the program and the package: twice); files of the "
                      "build holding the password:\n${holding}")
endif()

file(REMOVE_RECURSE ${work}/zip ${work}/msi)
file(MAKE_DIRECTORY ${work}/zip ${work}/msi)
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${work}/build/${PACKAGE_NAME}.zip
                WORKING_DIRECTORY ${work}/zip COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND msiextract -C ${work}/msi ${work}/build/${PACKAGE_NAME}.msi
                OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
file(GLOB_RECURSE programs ${work}/zip/morvane.exe ${work}/msi/morvane.exe)
foreach(program ${programs})
  file(SHA256 ${program} sha)
  list(APPEND shas ${sha})
endforeach()
list(REMOVE_DUPLICATES shas)
list(LENGTH programs count)
if(NOT count EQUAL 2 OR NOT shas MATCHES "^[0-9a-f]+$")
  message(FATAL_ERROR "not the same one morvane.exe in the archive and the package: ${programs}")
endif()
foreach(signed ${programs} ${work}/build/${PACKAGE_NAME}.msi)
  execute_process(COMMAND osslsigncode verify -CAfile ${keys}/ca.pem -in ${signed}
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  foreach(expected "Succeeded" "Text description: Morvane" "URL description: ${url}"
                   "Message digest algorithm *: SHA256")
    if(NOT result EQUAL 0 OR NOT output MATCHES "${expected}")
      message(FATAL_ERROR "${signed}: no \"${expected}\" in osslsigncode verify "
                          "(exit ${result}):\n${output}")
    endif()
  endforeach()
endforeach()
file(REMOVE_RECURSE ${keys})
message(STATUS "signed: morvane.exe in the archive and in the package, and the package")
