# Builds TovUSB.msi: runs wixl on TovUSB.wxs, then adds with msibuild the rows wixl has no element
# for. Run as a script:
#   cmake -DWIXL=... -DMSIBUILD=... -DMSIINFO=... -DWXS=TovUSB.wxs -DOUTPUT=TovUSB.msi -DVERSION=1.0.0
#         -DPRODUCT_CODE=... -DSETUP_PROGRAM=... -DDRIVER32=... -DDRIVER64=... -DDEVICE_CHECK=... -P BuildMsi.cmake
# With -DSIGN_SCRIPT=TovSign.cmake and its settings (cmake/TovSigning.cmake) the package is signed.
foreach(var WIXL MSIBUILD MSIINFO WXS OUTPUT VERSION PRODUCT_CODE SETUP_PROGRAM DRIVER32 DRIVER64 DEVICE_CHECK)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "BuildMsi.cmake: ${var} is not set")
  endif()
endforeach()
foreach(file SETUP_PROGRAM DRIVER32 DRIVER64 DEVICE_CHECK)
  if(NOT EXISTS "${${file}}")
    message(FATAL_ERROR "BuildMsi.cmake: ${file} ${${file}} does not exist")
  endif()
endforeach()

# Any warning of wixl (an attribute it ignores, a file it cannot find) fails the build.
function(check_run what status out)
  if(NOT status EQUAL 0 OR out MATCHES "WARNING|CRITICAL|Unsupported")
    file(REMOVE "${OUTPUT}")
    message(FATAL_ERROR "BuildMsi.cmake: ${what}\n${out}")
  endif()
endfunction()

function(run)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY / RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  check_run("${ARGN}" "${status}" "${out}")
endfunction()

# One SQL statement on the package (kept as one argument: it may hold semicolons).
function(msi_query sql)
  execute_process(COMMAND ${MSIBUILD} "${OUTPUT}" -q "${sql}" RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  check_run("${sql}" "${status}" "${out}")
endfunction()

get_filename_component(work "${OUTPUT}" DIRECTORY)
get_filename_component(name "${OUTPUT}" NAME_WE)
set(temporary "${work}/${name}.partial.msi")
set(final "${OUTPUT}")
set(OUTPUT "${temporary}")
file(REMOVE "${temporary}")
file(MAKE_DIRECTORY "${work}")

# wixl looks for each file below its working folder and takes no absolute path: the commands run
# in the root folder, and the files are named relative to it.
foreach(file SETUP_PROGRAM DRIVER32 DRIVER64 DEVICE_CHECK)
  file(RELATIVE_PATH ${file} / "${${file}}")
endforeach()
run(${WIXL} -a x86 -D Version=${VERSION} -D ProductCode=${PRODUCT_CODE}
    -D SetupProgram=${SETUP_PROGRAM} -D Driver32=${DRIVER32} -D Driver64=${DRIVER64}
    -D DeviceCheck=${DEVICE_CHECK}
    -o "${temporary}" "${WXS}")

set(setup_command "/uninstall /quiet /log \"[SETUPLOG]\"")

# When the installation fails after the setup program registered the channel, the rollback runs the
# silent uninstall: type 18 (program from an installed file) + 256 + 1024 (rollback only) + 2048
# (no impersonation) + 64 (outcome ignored). Scheduled just before the install it undoes, and only
# when no client had the channel registered before: a registration that was there stays. (A failed
# setup program has put back the previous state itself.)
msi_query("INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('RollbackChannel', 3410, 'SetupProgram', '${setup_command}')")
msi_query("INSERT INTO `InstallExecuteSequence` (`Action`, `Condition`, `Sequence`) VALUES ('RollbackChannel', 'NOT REMOVE=\"ALL\" AND NOT CHANNELREGISTERED32 AND NOT CHANNELREGISTERED64', 4010)")

# The same for the heal task: when the installation fails after the task was registered, the
# rollback removes it, only when no task was registered before (its mark was missing), so that a
# failed repair or upgrade keeps the task that was there.
set(task_command "/unregistertask /quiet /log \"[SETUPLOG]\"")
msi_query("INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('RollbackHealTask', 3410, 'SetupProgram', '${task_command}')")
msi_query("INSERT INTO `InstallExecuteSequence` (`Action`, `Condition`, `Sequence`) VALUES ('RollbackHealTask', 'NOT REMOVE=\"ALL\" AND TOVUSB_SELFHEAL<>\"0\" AND NOT HEALTASKREGISTERED', 4029)")

# Progress texts: msiexec writes them into its log beside each action's name.
set(idt "${work}/${name}.ActionText.idt")
# A PC without an ICA Client installs the package and registers nothing yet: the progress text
# says so in the installer's log.
set(no_client_progress
    "No Citrix ICA Client found (InstallFolder of HKLM\\SOFTWARE\\Citrix\\Install\\ICA Client is missing in the 32-bit and the 64-bit registry view): nothing is registered now; the scheduled task TovUSB Heal registers the channel once a client is installed")
file(WRITE "${idt}" "Action\tDescription\tTemplate\ns72\tL0\tL0\nActionText\tAction\n"
     "NoICAClientYet\t${no_client_progress}\t\n"
     "RegisterHealTask\tRegistering the scheduled task TovUSB Heal: TovaroCitrixVCClientSetup.exe /registertask\t\n"
     "UnregisterHealTask\tRemoving the scheduled task TovUSB Heal: TovaroCitrixVCClientSetup.exe /unregistertask\t\n"
     "KeepHealTaskAway\tTOVUSB_SELFHEAL=0: removing the scheduled task TovUSB Heal: TovaroCitrixVCClientSetup.exe /unregistertask\t\n"
     "RegisterChannel\tRegistering the TovUSB channel with the ICA Client: TovaroCitrixVCClientSetup.exe /install\t\n"
     "UnregisterChannel\tRemoving the TovUSB channel from the ICA Client: TovaroCitrixVCClientSetup.exe /uninstall\t\n"
     "RollbackChannel\tUndoing the TovUSB channel registration: TovaroCitrixVCClientSetup.exe /uninstall\t\n"
     "RollbackHealTask\tUndoing the registration of the scheduled task TovUSB Heal: TovaroCitrixVCClientSetup.exe /unregistertask\t\n")
run(${MSIBUILD} "${temporary}" -i "${idt}")
file(REMOVE "${idt}")

# Signed last, over the finished database; the files inside it were signed when they were built.
if(DEFINED SIGN_SCRIPT)
  set(FILE "${temporary}")
  set(STAMP "${final}.signature")
  include("${SIGN_SCRIPT}")
endif()

file(RENAME "${temporary}" "${final}")
