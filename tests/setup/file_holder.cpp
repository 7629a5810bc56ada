#include "file_holder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <vector>

namespace setuptest {

namespace {

std::string HostPath(std::string path) {
    // The build passes Linux paths; Wine maps the Linux root to drive Z:.
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

std::string EventName(const char* role) {
    static std::atomic<int> counter{0};
    return "tovusb-holder-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter) + "-" + role;
}

constexpr const wchar_t* kSessionManager = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr const wchar_t* kPendingRenames = L"PendingFileRenameOperations";

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(towlower(c));
    return text;
}

// The list as pairs of strings (source, target; an empty target means delete).
std::vector<std::wstring> PendingRenames() {
    std::vector<std::wstring> entries;
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return entries;
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, kPendingRenames, nullptr, &type, nullptr, &size) == ERROR_SUCCESS && size > 0 &&
        size < (1u << 20)) {
        std::vector<wchar_t> data(size / sizeof(wchar_t) + 2, L'\0');
        if (RegQueryValueExW(key, kPendingRenames, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) ==
            ERROR_SUCCESS) {
            // Pairs of zero-terminated strings; the target of a deletion is the empty string.
            const size_t count = size / sizeof(wchar_t);
            size_t start = 0;
            for (size_t i = 0; i < count; ++i) {
                if (data[i] != L'\0') continue;
                entries.emplace_back(data.data() + start, data.data() + i);
                start = i + 1;
            }
        }
    }
    RegCloseKey(key);
    return entries;
}

std::wstring WithoutPrefix(const std::wstring& path) {
    return path.compare(0, 4, L"\\??\\") == 0 ? path.substr(4) : path;
}

}  // namespace

FileHolder::FileHolder(Mode mode, const std::string& path) {
    const std::string readyName = EventName("ready"), releaseName = EventName("release");
    ready = CreateEventA(nullptr, TRUE, FALSE, readyName.c_str());
    release = CreateEventA(nullptr, TRUE, FALSE, releaseName.c_str());
    const std::string exe = HostPath(TOV_DLL_HOLDER_PATH);
    std::string commandLine = "\"" + exe + "\" " + (mode == Mode::kLoad ? "load" : "open") + " \"" + path + "\" " +
                              readyName + " " + releaseName;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (!ready || !release ||
        !CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        ADD_FAILURE() << "cannot start " << commandLine;
        return;
    }
    // Held, or the helper ended because it could not hold the file.
    const HANDLE either[] = {ready, process.hProcess};
    held = WaitForMultipleObjects(2, either, FALSE, 60000) == WAIT_OBJECT_0;
    EXPECT_TRUE(held) << "the helper could not hold " << path;
}

FileHolder::~FileHolder() {
    Release();
    if (ready) CloseHandle(ready);
    if (release) CloseHandle(release);
}

bool FileHolder::Release() {
    if (!process.hProcess) return false;
    SetEvent(release);
    DWORD exitCode = ~0u;
    if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 99);
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    process = {};
    return held && exitCode == 0;
}

std::string LoadableDll() { return HostPath(TOV_LOADABLE_DLL); }

bool IsMarkedForDeletionAtRestart(const std::string& path) {
    const std::vector<std::wstring> entries = PendingRenames();
    for (size_t i = 0; i + 1 < entries.size(); i += 2)
        if (Lower(WithoutPrefix(entries[i])) == Lower(Wide(path)) && entries[i + 1].empty()) return true;
    return false;
}

void ForgetDeletionsAtRestartUnder(const std::string& folder) {
    const std::vector<std::wstring> entries = PendingRenames();
    if (entries.empty()) return;
    std::wstring kept;
    size_t pairs = 0;
    const std::wstring prefix = Lower(Wide(folder));
    for (size_t i = 0; i + 1 < entries.size(); i += 2) {
        if (Lower(WithoutPrefix(entries[i])).compare(0, prefix.size(), prefix) == 0) continue;
        kept += entries[i] + L'\0' + entries[i + 1] + L'\0';
        ++pairs;
    }
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    if (pairs == 0) {
        RegDeleteValueW(key, kPendingRenames);
    } else {
        kept += L'\0';
        RegSetValueExW(key, kPendingRenames, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(kept.data()),
                       static_cast<DWORD>(kept.size() * sizeof(wchar_t)));
    }
    RegCloseKey(key);
}

}  // namespace setuptest
