// The scheduled task that keeps the channel registered when an ICA Client is installed, replaced
// or reinstalled after TovUSB: the Task Scheduler runs the setup program's heal ("/heal /quiet")
// as the local system account at every start, at every logon and whenever Windows Installer
// reports a product installed or changed (Application log, source "MsiInstaller", events 1033 and
// 11707). The task is hidden and stopped after five minutes.
//
// Its definition is kept beside the setup program ("TovUSB-HealTask.xml", the Task Scheduler's
// XML in UTF-16, with the program's installed path filled in), so that an administrator can read
// it, import it elsewhere or run its action by hand. The package's registration step writes it and
// registers the task; its removal removes both.
#pragma once

#include <string>

#include "InstallerLog.h"

namespace installer {

constexpr const char* kHealTaskName = "TovUSB Heal";
constexpr const char* kHealTaskFileName = "TovUSB-HealTask.xml";

// The task's definition as text (characters of the program's code page; written out as UTF-16):
// its action runs `program` with "/heal /quiet", followed by "/log <logFile>" when `logFile` is not
// empty (a plain local path, see IsPlainLocalPath).
std::string HealTaskDefinition(const std::string& program, const std::string& logFile);

// Where the registration leaves a mark that the task is registered, for the package's rollback:
// HKEY_LOCAL_MACHINE\SOFTWARE\Tovaro\TovUSB (32-bit view), value "HealTask" naming the program.
constexpr const char* kHealTaskMarkKey = "SOFTWARE\\Tovaro\\TovUSB";
constexpr const char* kHealTaskMarkValue = "HealTask";

enum class HealTaskResult { kRegistered, kFailed, kRefused };

// Writes the definition into the program's folder and registers it with the Task Scheduler,
// replacing a task of the same name (so that a repair or an upgrade leaves one task), then leaves
// the mark. Refused, with one log line and nothing written or registered, when someone other than
// an administrator can replace the program (WhoElseCanReplace): the task would run their code as
// the local system account. Every step is logged.
HealTaskResult RegisterHealTask(const std::string& program, const std::string& logFile, CInstallerLogInterface& log);

// Removes the task, the definition beside the program and the mark. A task that is not registered
// and a definition that is not there are nothing to remove. False after a logged failure.
bool UnregisterHealTask(const std::string& program, CInstallerLogInterface& log);

}  // namespace installer
