// Two ICA sessions of one user on one PC, each an engine process of its own with the driver, both
// connected to one hand-set (session_subject.exe): each press reaches the server of the session
// the user last worked in, and each release the server that got its press.
#include <windows.h>

#include <gtest/gtest.h>

#include "SharedSessionRecord_win32.h"

#include <atomic>
#include <string>
#include <thread>

namespace {

// The SpeechMike III's record button (3) down, then up.
constexpr char kPress[] = "report 00 80 00 00 00 00 00 00 00 01";
constexpr char kRelease[] = "report 00 80 00 00 00 00 00 00 00 00";

class Subject {
public:
    Subject() {
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        HANDLE childIn = nullptr, childOut = nullptr;
        if (!CreatePipe(&childIn, &toChild, &inherit, 0) || !CreatePipe(&fromChild, &childOut, &inherit, 0)) return;
        SetHandleInformation(toChild, HANDLE_FLAG_INHERIT, 0);
        SetHandleInformation(fromChild, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = childIn;
        startup.hStdOutput = childOut;
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        std::string command = TOV_SESSION_SUBJECT_PATH;
        if (CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
            ready = ReadLine() == "ready";
        }
        CloseHandle(childIn);
        CloseHandle(childOut);
    }
    ~Subject() {
        CloseHandle(toChild);  // the subject ends at the end of its input
        if (process.hProcess && WaitForSingleObject(process.hProcess, 20000) != WAIT_OBJECT_0) Kill();
        CloseHandle(fromChild);
    }
    void Tell(const std::string& line) {
        const std::string text = line + "\n";
        DWORD written = 0;
        WriteFile(toChild, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }
    std::string ReadLine() {
        std::string line;
        char c = 0;
        DWORD read = 0;
        while (ReadFile(fromChild, &c, 1, &read, nullptr) && read == 1 && c != '\n') {
            if (c != '\r') line += c;
        }
        return line;
    }
    std::string Ask(const std::string& line) {
        Tell(line);
        return ReadLine();
    }
    void Kill() {
        TerminateProcess(process.hProcess, 9);
        WaitForSingleObject(process.hProcess, INFINITE);
    }
    DWORD ProcessId() const { return process.dwProcessId; }
    bool ready = false;

private:
    HANDLE toChild = nullptr, fromChild = nullptr;
    PROCESS_INFORMATION process = {};
};

// A local program's window, on a thread of its own that pumps its messages.
class LocalProgram {
public:
    LocalProgram() : thread([this] { Run(); }) {}
    ~LocalProgram() {
        PostThreadMessageA(threadId, WM_QUIT, 0, 0);
        thread.join();
    }
    bool Focus() {
        while (!threadId || !PostThreadMessageA(threadId, WM_APP, 0, 0)) SwitchToThread();
        for (int i = 0; i < 20000 && GetForegroundWindow() != window; ++i) Sleep(1);
        return GetForegroundWindow() == window;
    }

private:
    void Run() {
        window = CreateWindowExA(0, "STATIC", "local", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                                 nullptr, nullptr, nullptr);
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue exists from here
        threadId = GetCurrentThreadId();
        while (GetMessageA(&message, nullptr, 0, 0) > 0) {
            if (message.message == WM_APP) SetForegroundWindow(window);
            DispatchMessageA(&message);
        }
        DestroyWindow(window);
    }
    HWND window = nullptr;
    std::atomic<DWORD> threadId{0};
    std::thread thread;
};

constexpr char kKey[] = "SOFTWARE\\Tovaro\\TovUSB";

bool KeyExists() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ | KEY_WOW64_32KEY, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// Sets ButtonsGoTo where the installer writes it, or removes it (empty).
void SetButtonsGoTo(const char* value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    if (*value) {
        RegSetValueExA(key, "ButtonsGoTo", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), lstrlenA(value) + 1);
    } else {
        RegDeleteValueA(key, "ButtonsGoTo");
    }
    RegCloseKey(key);
}

// Feeds one report into both sessions at once; answers what each did with it.
void Feed(Subject& first, Subject& second, const char* report, const std::string& firstDid,
          const std::string& secondDid) {
    first.Tell(report);
    second.Tell(report);
    EXPECT_EQ(first.ReadLine(), firstDid) << report;
    EXPECT_EQ(second.ReadLine(), secondDid) << report;
}

TEST(TwoSessions, EachPressGoesToTheSessionInUseAndEachReleaseFollowsItsPress) {
    const bool keyExisted = KeyExists();
    SetButtonsGoTo("");
    {
        Subject a, b;
        ASSERT_TRUE(a.ready && b.ready);
        LocalProgram local;

        ASSERT_EQ(a.Ask("focus"), "ok");
        Feed(a, b, kPress, "sent 3, 1", "held 3, 1");
        Feed(a, b, kRelease, "sent 3, 0", "held 3, 0");
        // What the device check shows: the one hand-set, in both sessions, with A's buttons.
        CSharedSessionRecord record;
        std::string whyNot;
        std::vector<SharedDeviceView> devices;
        ASSERT_TRUE(record.Open(whyNot, true)) << whyNot;
        bool described = false;  // the record's lock is never waited for: tried again while busy
        for (int i = 0; i < 1000 && !(described = record.Describe(devices)); ++i) Sleep(1);
        ASSERT_TRUE(described);
        ASSERT_EQ(devices.size(), 1u);
        EXPECT_EQ(devices[0].sessionsConnected, 2);
        EXPECT_EQ(devices[0].ownerProcessId, a.ProcessId());
        EXPECT_TRUE(devices[0].ownerAlive);

        // Pressed in A, the user moves to B before letting go: the release goes to A.
        Feed(a, b, kPress, "sent 3, 1", "held 3, 1");
        ASSERT_EQ(b.Ask("focus"), "ok");
        Feed(a, b, kRelease, "sent 3, 0", "held 3, 0");
        Feed(a, b, kPress, "held 3, 1", "sent 3, 1");
        Feed(a, b, kRelease, "held 3, 0", "sent 3, 0");

        // A local program in the foreground: B, the last session used, keeps the buttons.
        ASSERT_TRUE(local.Focus());
        Feed(a, b, kPress, "held 3, 1", "sent 3, 1");
        Feed(a, b, kRelease, "held 3, 0", "sent 3, 0");

        // B ends: A takes the next press.
        b.Kill();
        EXPECT_EQ(a.Ask(kPress), "sent 3, 1");
        EXPECT_EQ(a.Ask(kRelease), "sent 3, 0");
    }

    // EverySession: both send, whichever the user works in.
    SetButtonsGoTo("EverySession");
    {
        Subject c, d;
        ASSERT_TRUE(c.ready && d.ready);
        ASSERT_EQ(c.Ask("focus"), "ok");
        Feed(c, d, kPress, "sent 3, 1", "sent 3, 1");
        Feed(c, d, kRelease, "sent 3, 0", "sent 3, 0");
    }
    SetButtonsGoTo("");
    if (!keyExisted) {
        RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kKey, KEY_WOW64_32KEY, 0);
        RegDeleteKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tovaro", KEY_WOW64_32KEY, 0);  // only when empty
    }
}

}  // namespace
