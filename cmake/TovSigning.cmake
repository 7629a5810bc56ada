# Authenticode signing of the shipped Windows files (drivers, setup program, device check, MSI).
#
# Given a code-signing certificate, every shipped file is signed with osslsigncode (SHA-256) right
# after it is linked, and the MSI after the files inside it were signed. Settings, each from the
# CMake cache (-D) or, at the first configure of a build folder, from the environment:
#   TOV_SIGN_PFX            PKCS#12 file with the certificate, its chain and the private key;
#                           empty: the build is unsigned
#   TOV_SIGN_PASSWORD       the PFX's password. Never kept in the cache and never put on a command
#                           line: configure writes it into <build>/signing/pfx-password (readable by
#                           the owner only) and removes it from the cache
#   TOV_SIGN_PASSWORD_FILE  or a file whose content is the password (used in place)
#   TOV_SIGN_TIMESTAMP_URL  an RFC 3161 timestamp server (optional)
#   TOV_SIGN_VERIFY_CA      a CA certificate (PEM): registers the signing tests, which verify
#                           every shipped file against it
# Provides:
#   TOV_SIGNING                  ON when the build signs
#   tov_sign_target(<target>)    signs the target's file after each link (call it where the target
#                                is made); a new certificate or other settings relink it
#   TOV_SIGN_SCRIPT_ARGS         -D arguments for a script that includes TovSign.cmake itself
#                                (the MSI build), empty when unsigned
#   TOV_SIGN_SUBBUILD_ARGS       the same settings for a nested build of this project
#   TOV_SIGN_SETTINGS_FILE       changes whenever the signing settings change (a dependency)
if(NOT TOV_WINDOWS)
  return()
endif()

set(TOV_SIGN_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/TovSign.cmake)
set(tov_sign_dir ${CMAKE_BINARY_DIR}/signing)

foreach(var TOV_SIGN_PFX TOV_SIGN_PASSWORD_FILE TOV_SIGN_TIMESTAMP_URL TOV_SIGN_VERIFY_CA)
  if(NOT DEFINED CACHE{${var}} AND NOT "$ENV{${var}}" STREQUAL "")
    set(${var} "$ENV{${var}}")
  endif()
endforeach()
set(TOV_SIGN_PFX "${TOV_SIGN_PFX}" CACHE FILEPATH
    "PKCS#12 file with the code-signing certificate; empty: the Windows files are not signed" FORCE)
set(TOV_SIGN_PASSWORD_FILE "${TOV_SIGN_PASSWORD_FILE}" CACHE FILEPATH "File holding the password of TOV_SIGN_PFX" FORCE)
set(TOV_SIGN_TIMESTAMP_URL "${TOV_SIGN_TIMESTAMP_URL}" CACHE STRING "RFC 3161 timestamp server for the signatures" FORCE)
set(TOV_SIGN_VERIFY_CA "${TOV_SIGN_VERIFY_CA}" CACHE FILEPATH "CA certificate the signing tests verify against" FORCE)

# A password given as a value goes into a file of its own; the cache keeps only that file's name.
set(tov_sign_password "")
set(tov_sign_password_given OFF)
if(DEFINED CACHE{TOV_SIGN_PASSWORD})
  set(tov_sign_password "$CACHE{TOV_SIGN_PASSWORD}")
  set(tov_sign_password_given ON)
  unset(TOV_SIGN_PASSWORD CACHE)
elseif(DEFINED ENV{TOV_SIGN_PASSWORD})
  set(tov_sign_password "$ENV{TOV_SIGN_PASSWORD}")
  set(tov_sign_password_given ON)
endif()
unset(TOV_SIGN_PASSWORD)
if(tov_sign_password_given)
  file(MAKE_DIRECTORY ${tov_sign_dir})
  file(CHMOD ${tov_sign_dir} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
  file(WRITE ${tov_sign_dir}/pfx-password "${tov_sign_password}")
  file(CHMOD ${tov_sign_dir}/pfx-password PERMISSIONS OWNER_READ OWNER_WRITE)
  set(TOV_SIGN_PASSWORD_FILE ${tov_sign_dir}/pfx-password CACHE FILEPATH "File holding the password of TOV_SIGN_PFX" FORCE)
endif()
unset(tov_sign_password)

set(TOV_SIGN_SCRIPT_ARGS "")
set(TOV_SIGN_SUBBUILD_ARGS -DTOV_SIGN_PFX=${TOV_SIGN_PFX} -DTOV_SIGN_PASSWORD_FILE=${TOV_SIGN_PASSWORD_FILE}
    -DTOV_SIGN_TIMESTAMP_URL=${TOV_SIGN_TIMESTAMP_URL} -DTOV_SIGN_QUIET=ON)
set(TOV_SIGN_SETTINGS_FILE ${tov_sign_dir}/settings.txt)

if(TOV_SIGN_PFX STREQUAL "")
  set(TOV_SIGNING OFF)
  if(NOT TOV_SIGN_QUIET)
    message(STATUS "Signing: off, the Windows files are built unsigned (no TOV_SIGN_PFX given)")
  endif()
  file(CONFIGURE OUTPUT ${TOV_SIGN_SETTINGS_FILE} CONTENT "unsigned\n")
  function(tov_sign_target target)
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${TOV_SIGN_SETTINGS_FILE})
  endfunction()
  return()
endif()

set(TOV_SIGNING ON)
foreach(var TOV_SIGN_PFX TOV_SIGN_PASSWORD_FILE TOV_SIGN_VERIFY_CA)
  if(NOT ${var} STREQUAL "" AND (NOT IS_ABSOLUTE "${${var}}" OR NOT EXISTS "${${var}}"))
    message(FATAL_ERROR "Signing: ${var} must name an existing file by its absolute path, not ${${var}}")
  endif()
endforeach()
find_program(TOV_OSSLSIGNCODE osslsigncode)
if(NOT TOV_OSSLSIGNCODE)
  message(FATAL_ERROR "Signing: osslsigncode is needed to sign with TOV_SIGN_PFX; run scripts/bootstrap.sh")
endif()

# The certificate's subject, for the one line that says what the build signs with. Opening the
# file here also catches a wrong password before anything is built. OpenSSL 3 needs its legacy
# provider for the older PKCS#12 encryption that Windows exports by default.
find_program(TOV_OPENSSL openssl)
set(tov_sign_subject "the certificate in ${TOV_SIGN_PFX}")
if(TOV_OPENSSL)
  set(passin -passin pass:)
  if(NOT TOV_SIGN_PASSWORD_FILE STREQUAL "")
    set(passin -passin file:${TOV_SIGN_PASSWORD_FILE})
  endif()
  foreach(legacy "" "-legacy")
    execute_process(COMMAND ${TOV_OPENSSL} pkcs12 -in ${TOV_SIGN_PFX} -nokeys -clcerts ${passin} ${legacy}
                    RESULT_VARIABLE status OUTPUT_VARIABLE certificate ERROR_VARIABLE error)
    if(status EQUAL 0)
      break()
    endif()
  endforeach()
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "Signing: cannot open ${TOV_SIGN_PFX} with the given password:\n${error}")
  endif()
  if(certificate MATCHES "subject=([^\n]*)")
    string(STRIP "${CMAKE_MATCH_1}" tov_sign_subject)
  endif()
endif()

file(SHA256 ${TOV_SIGN_PFX} tov_sign_pfx_hash)
# A nested build is configured again only when its arguments change: the certificate's hash among
# them makes a new certificate in the same file sign its files again too.
list(APPEND TOV_SIGN_SUBBUILD_ARGS -DTOV_SIGN_PFX_SHA256=${tov_sign_pfx_hash})
if(DEFINED TOV_SIGN_PFX_SHA256 AND NOT TOV_SIGN_PFX_SHA256 STREQUAL tov_sign_pfx_hash)
  message(STATUS "Signing: the certificate changed since the enclosing build was configured")
endif()
file(CONFIGURE OUTPUT ${TOV_SIGN_SETTINGS_FILE} CONTENT
     "pfx=${TOV_SIGN_PFX}\npfx-sha256=${tov_sign_pfx_hash}\ntimestamp=${TOV_SIGN_TIMESTAMP_URL}\n")
set(tov_sign_timestamp_text "")
if(NOT TOV_SIGN_TIMESTAMP_URL STREQUAL "")
  set(tov_sign_timestamp_text ", timestamps from ${TOV_SIGN_TIMESTAMP_URL}")
endif()
if(NOT TOV_SIGN_QUIET)
  message(STATUS "Signing: the Windows files are signed (Authenticode, SHA-256) by ${tov_sign_subject}${tov_sign_timestamp_text}")
endif()

set(TOV_SIGN_SCRIPT_ARGS -DSIGN_SCRIPT=${TOV_SIGN_SCRIPT} -DOSSLSIGNCODE=${TOV_OSSLSIGNCODE}
    -DPFX=${TOV_SIGN_PFX} -DPASSWORD_FILE=${TOV_SIGN_PASSWORD_FILE} -DTIMESTAMP_URL=${TOV_SIGN_TIMESTAMP_URL})

function(tov_sign_target target)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${TOV_SIGN_SETTINGS_FILE})
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} ${TOV_SIGN_SCRIPT_ARGS} -DFILE=$<TARGET_FILE:${target}> -P ${TOV_SIGN_SCRIPT}
    VERBATIM)
endfunction()
