# Signs one Windows file (PE image or MSI) with Authenticode, SHA-256, in place:
#   cmake -DOSSLSIGNCODE=... -DPFX=cert.pfx [-DPASSWORD_FILE=file] [-DTIMESTAMP_URL=url]
#         -DFILE=TovaroCitrixVC.dll [-DSTAMP=file] -P TovSign.cmake
# or include()d by a script that sets the same variables. The password is read by osslsigncode
# from PASSWORD_FILE (-readpass), so no command line holds it.
#
# Signing happens once per build of the file: STAMP (default FILE.signature) records the SHA-256 of
# the signed file, and a file that still has that content is left alone. A file that carries some
# other signature gets this one in its place (osslsigncode replaces, it nests only when told to),
# so a file never ends up with two signatures.
foreach(var OSSLSIGNCODE PFX FILE)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "TovSign.cmake: ${var} is not set")
  endif()
endforeach()
if(NOT EXISTS "${FILE}")
  message(FATAL_ERROR "TovSign.cmake: ${FILE} does not exist")
endif()
if(NOT DEFINED STAMP OR STAMP STREQUAL "")
  set(STAMP "${FILE}.signature")
endif()
get_filename_component(sign_name "${STAMP}" NAME_WLE)  # the file the signed one becomes

file(SHA256 "${FILE}" sign_current)
if(EXISTS "${STAMP}")
  file(READ "${STAMP}" sign_recorded)
  string(STRIP "${sign_recorded}" sign_recorded)
  if(sign_recorded STREQUAL sign_current)
    message(STATUS "Signing: ${sign_name} is signed already")
    return()
  endif()
endif()

# osslsigncode writes a new file; the signed file replaces the original only when it is whole.
# The temporary keeps the extension, from which some file types are recognised.
get_filename_component(sign_dir "${FILE}" DIRECTORY)
get_filename_component(sign_stem "${FILE}" NAME_WLE)
get_filename_component(sign_ext "${FILE}" LAST_EXT)
set(sign_output "${sign_dir}/${sign_stem}.signing${sign_ext}")
file(REMOVE "${sign_output}")
set(sign_command ${OSSLSIGNCODE} sign -pkcs12 "${PFX}" -h sha256 -n TovUSB)
if(DEFINED PASSWORD_FILE AND NOT PASSWORD_FILE STREQUAL "")
  list(APPEND sign_command -readpass "${PASSWORD_FILE}")
endif()
if(DEFINED TIMESTAMP_URL AND NOT TIMESTAMP_URL STREQUAL "")
  list(APPEND sign_command -ts "${TIMESTAMP_URL}")
endif()
list(APPEND sign_command -in "${FILE}" -out "${sign_output}")
execute_process(COMMAND ${sign_command} RESULT_VARIABLE sign_status OUTPUT_VARIABLE sign_out ERROR_VARIABLE sign_out)
if(NOT sign_status EQUAL 0 OR NOT EXISTS "${sign_output}")
  file(REMOVE "${sign_output}")
  message(FATAL_ERROR "Signing: osslsigncode could not sign ${FILE}:\n${sign_out}")
endif()

if(sign_ext STREQUAL ".msi")
  file(CHMOD "${sign_output}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
else()
  file(CHMOD "${sign_output}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
       WORLD_READ WORLD_EXECUTE)
endif()
file(RENAME "${sign_output}" "${FILE}")
file(SHA256 "${FILE}" sign_current)
file(WRITE "${STAMP}" "${sign_current}\n")
message(STATUS "Signing: signed ${sign_name}")
