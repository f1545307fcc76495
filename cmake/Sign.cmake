# Signs one file in place with Authenticode, SHA-256: a program right after linking, the
# installer after wixl (cmake -P). Variables: FILE, PFX (PKCS#12: the key and its chain),
# OSSLSIGNCODE, DESCRIPTION, URL, and TIMESTAMP_URL (RFC 3161) or empty.
#
# The PFX's password is read here, when the build runs, from the environment variable
# QUELLBOX_SIGN_PASSWORD: no build file holds it, and it reaches osslsigncode on its standard
# input, never on a command line that other users can see. When signing fails, the unsigned
# FILE is removed, so that no later build takes it for done and ships it.
cmake_minimum_required(VERSION 3.20)

function(fail)
  string(JOIN "" cause ${ARGV})
  file(REMOVE "${FILE}" "${FILE}.signing")
  message(FATAL_ERROR "Signing ${FILE} failed: ${cause}. The unsigned file is removed.")
endfunction()

if(NOT OSSLSIGNCODE OR NOT EXISTS "${OSSLSIGNCODE}")
  fail("osslsigncode is not installed (${OSSLSIGNCODE}): install it (tools/bootstrap.sh does) "
       "or configure without QUELLBOX_SIGN_PFX")
endif()
if(NOT EXISTS "${PFX}" OR IS_DIRECTORY "${PFX}")
  fail("the certificate file ${PFX} (QUELLBOX_SIGN_PFX) cannot be read: no such file")
endif()

# A key exported without a password needs none; osslsigncode cannot read an empty one.
set(pass)
set(password)
if(NOT "$ENV{QUELLBOX_SIGN_PASSWORD}" STREQUAL "")
  set(pass -readpass -)
  set(password COMMAND printenv QUELLBOX_SIGN_PASSWORD)
endif()
set(timestamp)
if(TIMESTAMP_URL)
  set(timestamp -ts ${TIMESTAMP_URL})
endif()

# osslsigncode writes a new file and never overwrites one.
file(REMOVE "${FILE}.signing")
execute_process(${password}
  COMMAND "${OSSLSIGNCODE}" sign -pkcs12 "${PFX}" ${pass} -h sha256 -n "${DESCRIPTION}"
          -i "${URL}" ${timestamp} -in "${FILE}" -out "${FILE}.signing"
  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0)
  string(STRIP "${output}" output)
  if(output MATCHES "Wrong password|mac verify failure")
    if("$ENV{QUELLBOX_SIGN_PASSWORD}" STREQUAL "")
      fail("${PFX} needs a password, and QUELLBOX_SIGN_PASSWORD is not set")
    endif()
    fail("wrong password: the password in QUELLBOX_SIGN_PASSWORD does not open ${PFX}")
  elseif(output MATCHES "Failed to (read|extract) PKCS#12")
    fail("the certificate file ${PFX} cannot be read (osslsigncode: ${output})")
  elseif(output MATCHES "timestamping failed")
    fail("the time-stamping server ${TIMESTAMP_URL} (QUELLBOX_SIGN_TIMESTAMP_URL) gave no "
         "time stamp (osslsigncode: ${output})")
  endif()
  fail("osslsigncode: ${output}")
endif()
file(RENAME "${FILE}.signing" "${FILE}")
