# Signs the Windows program or installer package INPUT into OUTPUT with osslsigncode: a SHA-256
# Authenticode signature naming Morvane and the project's address, time-stamped by an RFC 3161
# server if one is given. Run by the build (cmake/release.cmake), which passes
#
#   -DOSSLSIGNCODE=... -DPKCS12=... -DURL=... [-DTIMESTAMP_URL=...] -DINPUT=... -DOUTPUT=...
#
# The PKCS#12 file's password comes from the environment (MORVANE_SIGN_PASSWORD) and reaches
# osslsigncode through a pipe, which it reads as its password file: never a file, which an
# interrupted signing would leave behind, nor its command line, which every user of the machine
# can see.

foreach(var OSSLSIGNCODE PKCS12 URL INPUT OUTPUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

set(command ${OSSLSIGNCODE} sign -pkcs12 ${PKCS12} -h sha256 -n Morvane -i ${URL})
if(TIMESTAMP_URL)
  list(APPEND command -ts ${TIMESTAMP_URL})
endif()

# The shell's own printf takes the password from the environment, not from a command line, and
# hands over its bytes alone: printenv would add a newline, which older osslsigncode keeps as part
# of the password.
set(password)
if(DEFINED ENV{MORVANE_SIGN_PASSWORD})
  set(password COMMAND sh -c "printf '%s' \"$MORVANE_SIGN_PASSWORD\"")
  list(APPEND command -readpass /dev/stdin)
endif()

file(REMOVE ${OUTPUT})
execute_process(${password} COMMAND ${command} -in ${INPUT} -out ${OUTPUT}
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  file(REMOVE ${OUTPUT})
  message(FATAL_ERROR "osslsigncode could not sign ${INPUT} (exit ${result}):\n${output}")
endif()
