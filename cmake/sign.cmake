# Signs the Windows program or installer package INPUT into OUTPUT with osslsigncode: a SHA-256
# Authenticode signature naming Morvane and the project's address, time-stamped by an RFC 3161
# server if one is given. Run by the build (cmake/release.cmake), which passes
#
#   -DOSSLSIGNCODE=... -DPKCS12=... -DURL=... [-DTIMESTAMP_URL=...] -DINPUT=... -DOUTPUT=...
#
# The PKCS#12 file's password comes from the environment (MORVANE_SIGN_PASSWORD): osslsigncode
# reads it from a file that only its owner may read, made for this run and removed after it,
# rather than from its command line, which every user of the machine can see.

foreach(var OSSLSIGNCODE PKCS12 URL INPUT OUTPUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

set(command ${OSSLSIGNCODE} sign -pkcs12 ${PKCS12} -h sha256 -n Morvane -i ${URL})
if(TIMESTAMP_URL)
  list(APPEND command -ts ${TIMESTAMP_URL})
endif()

set(private)
if(DEFINED ENV{MORVANE_SIGN_PASSWORD})
  string(RANDOM LENGTH 12 name)
  set(private ${OUTPUT}.${name})
  file(MAKE_DIRECTORY ${private})
  file(CHMOD ${private} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
  file(WRITE ${private}/password "$ENV{MORVANE_SIGN_PASSWORD}")
  list(APPEND command -readpass ${private}/password)
endif()

file(REMOVE ${OUTPUT})
execute_process(COMMAND ${command} -in ${INPUT} -out ${OUTPUT}
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(private)
  file(REMOVE_RECURSE ${private})
endif()
if(NOT result EQUAL 0)
  file(REMOVE ${OUTPUT})
  message(FATAL_ERROR "osslsigncode could not sign ${INPUT} (exit ${result}):\n${output}")
endif()
