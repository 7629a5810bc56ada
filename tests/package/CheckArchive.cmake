# Makes the release archive with CPack from the build's install rules and compares its list of
# files with the list the release promises. Writes a one-test result file in GoogleTest's format,
# so the test run's count includes it.
foreach(var CPACK BUILD_DIR WORK_DIR ARCHIVE_NAME RESULT_FILE)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "CheckArchive.cmake: ${var} is not set")
  endif()
endforeach()

set(expected
  ${ARCHIVE_NAME}/ADMINISTRATORS.md
  ${ARCHIVE_NAME}/TovUSB.msi
  ${ARCHIVE_NAME}/TovaroCitrixVC.dll
  ${ARCHIVE_NAME}/TovaroCitrixVCClientSetup.exe
  ${ARCHIVE_NAME}/TovaroCitrixVCDeviceCheck.exe
  ${ARCHIVE_NAME}/x64/TovaroCitrixVC.dll)

function(finish failure)
  if(failure)
    string(REPLACE "&" "&amp;" text "${failure}")
    string(REPLACE "<" "&lt;" text "${text}")
    string(REPLACE "\"" "&quot;" text "${text}")
    set(body "<failure message=\"${text}\"/>")
    set(failures 1)
  else()
    set(body "")
    set(failures 0)
  endif()
  file(WRITE "${RESULT_FILE}"
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
       "<testsuites tests=\"1\" failures=\"${failures}\" disabled=\"0\" errors=\"0\" name=\"AllTests\">\n"
       "  <testsuite name=\"ReleaseArchive\" tests=\"1\" failures=\"${failures}\" disabled=\"0\" errors=\"0\">\n"
       "    <testcase name=\"HoldsExactlyTheShippedFiles\" status=\"run\" result=\"completed\" classname=\"ReleaseArchive\">${body}</testcase>\n"
       "  </testsuite>\n</testsuites>\n")
  if(failure)
    message(FATAL_ERROR "${failure}")
  endif()
endfunction()

file(REMOVE_RECURSE "${WORK_DIR}")
execute_process(COMMAND ${CPACK} --config "${BUILD_DIR}/CPackConfig.cmake" -B "${WORK_DIR}"
                WORKING_DIRECTORY "${BUILD_DIR}" RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
set(archive "${WORK_DIR}/${ARCHIVE_NAME}.zip")
if(NOT status EQUAL 0 OR NOT EXISTS "${archive}")
  finish("cpack did not make ${archive}:\n${out}")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf "${archive}" RESULT_VARIABLE status OUTPUT_VARIABLE listing)
if(NOT status EQUAL 0)
  finish("cannot list ${archive}")
endif()
string(REPLACE "\n" ";" entries "${listing}")
set(files "")
foreach(entry IN LISTS entries)
  # Folder entries end with a slash; only files count.
  if(entry AND NOT entry MATCHES "/$")
    list(APPEND files "${entry}")
  endif()
endforeach()
list(SORT files)
list(SORT expected)
if(NOT files STREQUAL expected)
  finish("the archive holds\n  ${files}\nbut should hold exactly\n  ${expected}")
endif()

# Each file is the one built, not an empty stand-in: the MSI is an installer database, the
# programs are PE images of their machine type.
file(MAKE_DIRECTORY "${WORK_DIR}/unpacked")
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf "${archive}" WORKING_DIRECTORY "${WORK_DIR}/unpacked")
set(root "${WORK_DIR}/unpacked/${ARCHIVE_NAME}")
file(READ "${root}/TovUSB.msi" head LIMIT 8 HEX)
if(NOT head STREQUAL "d0cf11e0a1b11ae1")
  finish("TovUSB.msi in the archive is not a Windows Installer database")
endif()
function(pe_machine file out)
  file(READ "${file}" dos LIMIT 64 HEX)
  string(SUBSTRING "${dos}" 120 8 lfanew_hex)  # bytes 60..63, little-endian
  string(SUBSTRING "${lfanew_hex}" 6 2 b3)
  string(SUBSTRING "${lfanew_hex}" 4 2 b2)
  string(SUBSTRING "${lfanew_hex}" 2 2 b1)
  string(SUBSTRING "${lfanew_hex}" 0 2 b0)
  math(EXPR offset "0x${b3}${b2}${b1}${b0}")
  file(READ "${file}" pe OFFSET ${offset} LIMIT 6 HEX)
  set(${out} "${pe}" PARENT_SCOPE)
endfunction()
# "PE\0\0" then the machine: 4c01 is i386, 6486 is x86-64.
foreach(pair "TovaroCitrixVCClientSetup.exe=504500004c01" "TovaroCitrixVCDeviceCheck.exe=504500004c01"
             "TovaroCitrixVC.dll=504500004c01"
             "x64/TovaroCitrixVC.dll=504500006486")
  string(REPLACE "=" ";" pair "${pair}")
  list(GET pair 0 name)
  list(GET pair 1 want)
  pe_machine("${root}/${name}" got)
  if(NOT got STREQUAL want)
    finish("${name} in the archive has PE header ${got}, expected ${want}")
  endif()
endforeach()
finish("")
