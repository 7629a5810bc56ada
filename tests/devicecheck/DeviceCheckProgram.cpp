#include "DeviceCheckProgram.h"

#include <gtest/gtest.h>

#include "ProcessWindow.h"

namespace devicechecktest {

namespace {

constexpr ULONG_PTR kSimulationCommandTag = 0x54535631;
constexpr int kDeviceListId = 1031, kLEDListId = 1034;

// The last reply to an "output" command (test thread only).
std::vector<unsigned char> lastReply;

LRESULT CALLBACK ReceiverProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA) {
        const COPYDATASTRUCT* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (copy->dwData == kSimulationCommandTag) {
            const unsigned char* bytes = static_cast<const unsigned char*>(copy->lpData);
            lastReply.assign(bytes, bytes + copy->cbData);
        }
        return TRUE;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

bool WaitUntil(const std::function<bool()>& condition) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < kWaitMs) {
        if (condition()) return true;
        // Serves the replies sent to this thread's receiver window meanwhile.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    }
    return condition();
}

DeviceCheckProgram::DeviceCheckProgram(const std::string& builtProgram, const std::string& folder,
                                       const std::string& caption) {
    std::string built = builtProgram;
    if (!built.empty() && built[0] == '/') built = "Z:" + built;
    const std::string exe = folder + "TovaroCitrixVCDeviceCheck.exe";
    EXPECT_TRUE(CopyFileA(built.c_str(), exe.c_str(), FALSE)) << built;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::string commandLine = "\"" + exe + "\"";
    if (!CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &process)) {
        ADD_FAILURE() << "cannot start " << exe << ", error " << GetLastError();
        return;
    }
    WaitForInputIdle(process.hProcess, kWaitMs);
    WaitUntil([&] {
        dialog = testsupport::FindProcessWindow(process.dwProcessId, caption);
        return dialog != nullptr || WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0;
    });
    EXPECT_TRUE(dialog != nullptr) << "the dialog \"" << caption << "\" did not appear";
    // The window exists while its initialisation still runs; the other-devices line is its last
    // step of the listing.
    if (dialog) {
        EXPECT_TRUE(WaitUntil([&] { return !Text(1032).empty(); })) << "the device list was not shown";
    }

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = ReceiverProcedure;
    windowClass.lpszClassName = "DeviceCheckTestReceiver";
    RegisterClassA(&windowClass);
    receiver = CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
}

DeviceCheckProgram::~DeviceCheckProgram() {
    if (receiver) DestroyWindow(receiver);
    if (!process.hProcess) return;
    if (dialog) PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    if (WaitForSingleObject(process.hProcess, kWaitMs) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "the device check did not end on the Close command";
        TerminateProcess(process.hProcess, 1);
    }
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    EXPECT_EQ(0u, exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

std::string DeviceCheckProgram::Text(int id) const {
    HWND control = GetDlgItem(dialog, id);
    const LRESULT length = SendMessageA(control, WM_GETTEXTLENGTH, 0, 0);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    const LRESULT got = SendMessageA(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return text;
}

std::vector<std::string> DeviceCheckProgram::ListLines(int id) const {
    HWND list = GetDlgItem(dialog, id);
    std::vector<std::string> lines;
    const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        // The list box keeps wide strings; asked across processes for ANSI text, Wine hands back
        // the wide characters, so the test asks for them and converts.
        const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
        std::vector<wchar_t> wide(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
        SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(wide.data()));
        wide.back() = L'\0';
        char text[4096] = {};
        WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, text, sizeof text - 1, nullptr, nullptr);
        lines.emplace_back(text);
    }
    return lines;
}

bool DeviceCheckProgram::WaitForEvents(size_t count) const {
    return WaitUntil([&] { return Events().size() >= count; });
}

void DeviceCheckProgram::Click(int id) const { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

bool DeviceCheckProgram::Enabled(int id) const { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

bool DeviceCheckProgram::Checked(int id) const {
    return SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void DeviceCheckProgram::SelectDevice(int index) const {
    HWND list = GetDlgItem(dialog, kDeviceListId);
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(kDeviceListId, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

void DeviceCheckProgram::SelectLED(int index) const {
    SendMessageA(GetDlgItem(dialog, kLEDListId), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

LRESULT DeviceCheckProgram::Command(const std::string& command) const {
    COPYDATASTRUCT copy = {};
    copy.dwData = kSimulationCommandTag;
    copy.cbData = static_cast<DWORD>(command.size());
    copy.lpData = const_cast<char*>(command.data());
    return SendMessageA(dialog, WM_COPYDATA, reinterpret_cast<WPARAM>(receiver), reinterpret_cast<LPARAM>(&copy));
}

std::vector<unsigned char> DeviceCheckProgram::OutputReport(int id) const {
    lastReply.clear();
    const LRESULT length = Command("output " + std::to_string(id));
    if (length <= 0) return {};
    EXPECT_EQ(static_cast<size_t>(length), lastReply.size()) << "the reply did not arrive whole";
    return lastReply;
}

}  // namespace devicechecktest
