# Makes a throwaway certificate authority and code-signing certificate with openssl, builds the
# release signed with them, and checks with osslsigncode against that authority that the
# morvane.exe in the archive, the one in the installer package (the same file) and the package
# itself carry a valid SHA-256 signature that names Morvane and the project's address.
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
  execute_process(COMMAND openssl ${arguments} WORKING_DIRECTORY ${keys}
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "openssl ${step} failed (exit ${result}):\n${output}")
  endif()
endforeach()

set(ENV{MORVANE_SIGN_PASSWORD} not-in-the-tree)
morvane_build_release(${work}/build -DMORVANE_SIGN_PKCS12=${keys}/signer.p12
                      -DMORVANE_PROJECT_URL=${url} -DMORVANE_TIMESTAMP_URL=)

morvane_extract(${work}/build/${PACKAGE_NAME}.zip ${work}/zip)
set(zip_exe ${exe})
morvane_extract(${work}/build/${PACKAGE_NAME}.msi ${work}/msi)
file(SHA256 ${zip_exe} zip_sha)
file(SHA256 ${exe} msi_sha)
if(NOT zip_sha STREQUAL msi_sha)
  message(FATAL_ERROR "the archive and the installer package hold different morvane.exe files")
endif()
foreach(signed ${zip_exe} ${exe} ${work}/build/${PACKAGE_NAME}.msi)
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
