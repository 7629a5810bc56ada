#include "HealTask.h"

#include <windows.h>

#include <vector>

#include "DriverFile.h"
#include "LogText.h"
#include "Registry.h"
#include "ReplaceableProgram.h"

namespace installer {

namespace {

constexpr DWORD kSchtasksTimeoutMs = 120000;

std::string DefinitionPath(const std::string& program) {
    return program.substr(0, program.find_last_of("\\/") + 1) + kHealTaskFileName;
}

// Writes the text as UTF-16 (little-endian, with its byte order mark), as the Task Scheduler's
// own export does and as the definition's XML declaration says.
bool WriteUtf16File(const std::string& path, const std::string& text) {
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) return false;
    std::vector<wchar_t> wide(static_cast<size_t>(length) + 1);
    wide[0] = 0xFEFF;
    if (MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data() + 1, length) != length)
        return false;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const DWORD bytes = static_cast<DWORD>(wide.size() * sizeof(wchar_t));
    DWORD written = 0;
    const bool ok = ::WriteFile(file, wide.data(), bytes, &written, nullptr) && written == bytes;
    return CloseHandle(file) && ok;
}

// Runs schtasks.exe from the system folder with `arguments`, without a window, and returns its
// exit code (~0u when it cannot be started or does not end in time).
DWORD RunSchtasks(const std::string& arguments) {
    char system[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryA(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return ~0u;
    const std::string exe = std::string(system) + "\\schtasks.exe";
    std::string commandLine = "\"" + exe + "\" " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &process))
        return ~0u;
    DWORD exitCode = ~0u;
    if (WaitForSingleObject(process.hProcess, kSchtasksTimeoutMs) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process.hProcess, &exitCode)) {
        TerminateProcess(process.hProcess, 1);
        exitCode = ~0u;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return exitCode;
}

std::string TaskNameArgument() { return std::string("/tn \"") + kHealTaskName + "\""; }

// The mark is read by the 32-bit package in its own view, whatever the bitness of this program.
CRegistry HealTaskMark() {
    return CRegistry(kRegistryLocalMachine, CFileName(kHealTaskMarkKey, FileNameSyntax::Windows()), kHealTaskMarkValue,
                     RegistryView::k32Bit);
}

}  // namespace

HealTaskResult RegisterHealTask(const std::string& program, const std::string& logFile, CInstallerLogInterface& log) {
    const std::string someoneElse = WhoElseCanReplace(program);
    if (!someoneElse.empty()) {
        log.AddLogLine(FormatLogText("ERROR: The scheduled task %s was not registered: %s, and the task would run "
                                     "that account's code as the local system account",
                                     kHealTaskName, someoneElse.c_str()));
        return HealTaskResult::kRefused;
    }
    const std::string definition = DefinitionPath(program);
    if (!WriteUtf16File(definition, HealTaskDefinition(program, logFile))) {
        log.AddLogLine(FormatLogText("ERROR: Could not write %s", definition.c_str()));
        return HealTaskResult::kFailed;
    }
    log.AddLogLine(FormatLogText("Successfully wrote the scheduled task's definition %s", definition.c_str()));
    const DWORD exitCode = RunSchtasks("/create " + TaskNameArgument() + " /xml \"" + definition + "\" /f");
    if (exitCode != 0) {
        log.AddLogLine(FormatLogText("ERROR: Could not register the scheduled task %s (schtasks exit code %lu): the "
                                     "channel stays registered, but an ICA Client installed or replaced later is not "
                                     "registered by itself",
                                     kHealTaskName, static_cast<unsigned long>(exitCode)));
        return HealTaskResult::kFailed;
    }
    log.AddLogLine(FormatLogText("Successfully registered the scheduled task %s", kHealTaskName));
    if (!HealTaskMark().WriteString(program))
        log.AddLogLine(FormatLogText("ERROR: Could not write value %s in registry key %s", kHealTaskMarkValue,
                                     kHealTaskMarkKey));
    return HealTaskResult::kRegistered;
}

bool UnregisterHealTask(const std::string& program, CInstallerLogInterface& log) {
    const std::string definition = DefinitionPath(program);
    const bool hadDefinition = GetFileAttributesA(definition.c_str()) != INVALID_FILE_ATTRIBUTES;
    bool allDone = true;
    // schtasks tells a missing task only by failing; the definition beside the program says
    // whether the task was registered from here.
    if (RunSchtasks("/delete " + TaskNameArgument() + " /f") == 0) {
        log.AddLogLine(FormatLogText("Successfully removed the scheduled task %s", kHealTaskName));
    } else if (!hadDefinition) {
        log.AddLogLine(FormatLogText("The scheduled task %s is not registered, nothing to remove", kHealTaskName));
    } else {
        log.AddLogLine(FormatLogText("ERROR: Could not remove the scheduled task %s", kHealTaskName));
        allDone = false;
    }
    // The task is gone: so goes its mark (read first, since deleting a value creates a missing key).
    CRegistry mark = HealTaskMark();
    std::string marked;
    if (allDone && mark.ReadString(marked)) mark.DeleteValue();
    if (!hadDefinition) return allDone;
    if (!DeleteDriverFile(definition)) {
        log.AddLogLine(FormatLogText("ERROR: Could not delete %s", definition.c_str()));
        return false;
    }
    log.AddLogLine(FormatLogText("Successfully deleted %s", definition.c_str()));
    return allDone;
}

}  // namespace installer
