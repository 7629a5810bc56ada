// Installs and removes the built TovUSB.msi with msiexec, silently, as a deployment tool does,
// against fake ICA Clients in the 32-bit and the 64-bit registry view of the Wine prefix, and
// checks what lands where: the package's files, each client's driver file and registry entries,
// the entry in Programs and Features, and that a removal or a failed installation leaves nothing.
// The heal task is checked through the Task Scheduler's interface (registered, removed, one only)
// and through the definition the package leaves beside the setup program: Wine keeps neither the
// triggers nor the action of a task it accepts, so the tests read both from that file and run the
// action as it stands there, as the Task Scheduler would.
#include <windows.h>

#include <initguid.h>
#include <taskschd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "file_holder.h"
#include "setup_sandbox.h"

namespace setuptest {
namespace {

constexpr const char* kUninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr DWORD kMsiexecTimeoutMs = 300000;

std::string HostPath(std::string path) {
    // The build passes Linux paths; Wine maps the Linux root to drive Z:.
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// Programs and Features entries named "TovUSB": {key name, DisplayVersion, Publisher}.
struct ProductEntry {
    std::string key, version, publisher;
};
std::vector<ProductEntry> TovUSBProducts() {
    std::vector<ProductEntry> found;
    HKEY uninstall;
    // A 32-bit package is listed in the 32-bit view.
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ | KEY_WOW64_32KEY, &uninstall) !=
        ERROR_SUCCESS)
        return found;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = sizeof name;
        if (RegEnumKeyExA(uninstall, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        const std::string key = std::string(kUninstallKey) + "\\" + name;
        std::string displayName;
        if (!GetString(KEY_WOW64_32KEY, key, "DisplayName", displayName) || displayName != "TovUSB") continue;
        ProductEntry entry{name, "", ""};
        GetString(KEY_WOW64_32KEY, key, "DisplayVersion", entry.version);
        GetString(KEY_WOW64_32KEY, key, "Publisher", entry.publisher);
        found.push_back(entry);
    }
    RegCloseKey(uninstall);
    return found;
}

size_t CountEntries(const std::string& list, const std::string& name) {
    size_t count = 0, start = 0;
    while (start <= list.size()) {
        size_t end = list.find(',', start);
        if (end == std::string::npos) end = list.size();
        std::string entry = list.substr(start, end - start);
        entry.erase(0, entry.find_first_not_of(' '));
        entry.erase(entry.find_last_not_of(' ') + 1);
        if (entry == name) ++count;
        start = end + 1;
    }
    return count;
}

constexpr const char* kHealTaskDefinition = "TovUSB-HealTask.xml";

// The sandbox's file reader, for the helpers outside the fixture.
struct SandboxFiles : SetupSandbox {
    using SetupSandbox::ReadFile;
};

// Whether the Task Scheduler has the task "TovUSB Heal" registered, asked through its interface;
// false (and a failure) when it cannot be asked.
bool HealTaskRegistered() {
    const HRESULT init = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    ITaskService* service = nullptr;
    ITaskFolder* folder = nullptr;
    IRegisteredTask* task = nullptr;
    VARIANT none;
    VariantInit(&none);
    BSTR rootName = SysAllocString(L"\\");
    BSTR taskName = SysAllocString(L"TovUSB Heal");
    HRESULT result = CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                                      reinterpret_cast<void**>(&service));
    if (SUCCEEDED(result)) result = service->Connect(none, none, none, none);
    if (SUCCEEDED(result)) result = service->GetFolder(rootName, &folder);
    if (FAILED(result)) ADD_FAILURE() << "the Task Scheduler cannot be asked: HRESULT 0x" << std::hex << result;
    const bool registered = SUCCEEDED(result) && SUCCEEDED(folder->GetTask(taskName, &task));
    SysFreeString(taskName);
    SysFreeString(rootName);
    for (IUnknown* object : std::vector<IUnknown*>{task, folder, service})
        if (object) object->Release();
    if (SUCCEEDED(init)) CoUninitialize();
    return registered;
}

// The number of TovUSB tasks: the Task Scheduler keeps one file per task in the system folder's
// "Tasks" folder (Wine's interface cannot list them). Agrees with HealTaskRegistered.
int TovUSBTaskCount() {
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, MAX_PATH);
    // Not the 32-bit programs' redirected system folder: the store of the one Task Scheduler.
    const std::string store = std::string(windows) + (sizeof(void*) == 4 ? "\\Sysnative\\Tasks\\" : "\\System32\\Tasks\\");
    int count = 0;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((store + "TovUSB*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do ++count;
        while (FindNextFileA(find, &data));
        FindClose(find);
    }
    EXPECT_EQ(count > 0, HealTaskRegistered()) << store;
    return count;
}

// A UTF-16 file (little-endian, with its byte order mark) as text of the code page; "" when the
// file is missing or has no such mark.
std::string ReadUtf16File(const std::string& path) {
    std::string raw;
    if (!SandboxFiles::ReadFile(path, raw) || raw.size() < 2 || raw.compare(0, 2, "\xFF\xFE") != 0) return "";
    std::wstring wide((raw.size() - 2) / 2, L'\0');
    memcpy(&wide[0], raw.data() + 2, wide.size() * 2);
    const int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string text(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), &text[0], length, nullptr, nullptr);
    return text;
}

// The text of the first <name> element, its entities resolved.
std::string Element(const std::string& xml, const std::string& name) {
    const size_t start = xml.find("<" + name + ">");
    const size_t end = xml.find("</" + name + ">");
    if (start == std::string::npos || end == std::string::npos || end < start) return "";
    std::string text = xml.substr(start + name.size() + 2, end - start - name.size() - 2);
    for (const auto& entity : std::vector<std::pair<std::string, std::string>>{
             {"&quot;", "\""}, {"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}}) {
        for (size_t at = text.find(entity.first); at != std::string::npos; at = text.find(entity.first, at + 1))
            text.replace(at, entity.first.size(), entity.second);
    }
    return text;
}

class MsiPackageTest : public SetupSandbox {
protected:
    void SetUp() override {
        SetupSandbox::SetUp();
        char folder[MAX_PATH] = {};
        ASSERT_NE(0u, GetEnvironmentVariableA("ProgramFiles(x86)", folder, sizeof folder))
            << "the tests need a 64-bit prefix";
        installFolder = std::string(folder) + "\\TovUSB\\";
        setupLog = root + "setup.log";
        healTaskDefinition = installFolder + kHealTaskDefinition;
        // Wine starts its Task Scheduler service only on request ("already started" is fine too).
        Run("net.exe start schedule", nullptr);
        RemoveLeftovers();
        ASSERT_TRUE(TovUSBProducts().empty()) << "a TovUSB product is installed before the test";
    }
    void TearDown() override {
        RemoveLeftovers();
        ForgetDeletionsAtRestartUnder(root);
        SetupSandbox::TearDown();
    }

    // Runs msiexec with the arguments, waits and returns its exit code.
    DWORD Msiexec(const std::string& arguments) { return Run("msiexec.exe " + arguments, nullptr); }
    // Runs the command line without a window in `folder` (null: the test's own), waits and returns
    // its exit code.
    DWORD Run(std::string commandLine, const char* folder) {
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, folder,
                            &startup, &process)) {
            ADD_FAILURE() << "cannot start " << commandLine << ", error " << GetLastError();
            return 0xFFFFFFFF;
        }
        DWORD exitCode = 0xFFFFFFFF;
        if (WaitForSingleObject(process.hProcess, kMsiexecTimeoutMs) == WAIT_OBJECT_0) {
            GetExitCodeProcess(process.hProcess, &exitCode);
        } else {
            ADD_FAILURE() << commandLine << " did not end";
            TerminateProcess(process.hProcess, 1);
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return exitCode;
    }
    DWORD Install(const std::string& package, const std::string& log, const std::string& properties = "") {
        return Msiexec("/i \"" + HostPath(package) + "\" /qn /l*v \"" + log + "\" SETUPLOG=\"" + setupLog + "\"" +
                       properties);
    }
    DWORD Repair(const std::string& package, const std::string& log, const std::string& properties = "") {
        return Msiexec("/i \"" + HostPath(package) + "\" REINSTALL=ALL REINSTALLMODE=omus /qn /l*v \"" + log + "\"" +
                       properties);
    }

    // Runs the action of the heal task's definition beside the installed setup program as the
    // Task Scheduler would: the command with its arguments, in its working folder, no window.
    DWORD RunHealTaskAction() {
        const std::string definition = ReadUtf16File(healTaskDefinition);
        const std::string command = Element(definition, "Command");
        const std::string folder = Element(definition, "WorkingDirectory");
        if (command.empty()) {
            ADD_FAILURE() << "no action in " << healTaskDefinition << ": " << definition;
            return 0xFFFFFFFF;
        }
        return Run("\"" + command + "\" " + Element(definition, "Arguments"), folder.empty() ? nullptr : folder.c_str());
    }

    Snapshot TakeSnapshot() const {
        Snapshot snapshot;
        for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) AddKey(snapshot, HKEY_LOCAL_MACHINE, view, "SOFTWARE\\Citrix");
        AddKey(snapshot, HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, "SOFTWARE\\Tovaro");
        AddFiles(snapshot, root);
        AddFiles(snapshot, installFolder);
        return snapshot;
    }
    DWORD Remove(const std::string& package, const std::string& log) {
        return Msiexec("/x \"" + HostPath(package) + "\" /qn /l*v \"" + log + "\" SETUPLOG=\"" + setupLog + "\"");
    }

    void RemoveLeftovers() {
        for (const char* package : {TOV_MSI_NEWER_PATH, TOV_MSI_PATH})
            if (!TovUSBProducts().empty()) Msiexec("/x \"" + HostPath(package) + "\" /qn");
        if (TovUSBTaskCount() != 0) Run("schtasks.exe /delete /tn \"TovUSB Heal\" /f", nullptr);
    }

    // What one client has after an install: the driver of its machine type, the module value and
    // one "TovUSB" in its list.
    void ExpectRegistered(REGSAM view, const std::string& folder, uint16_t machine, const std::string& list) {
        SCOPED_TRACE(view == KEY_WOW64_64KEY ? "64-bit client" : "32-bit client");
        EXPECT_EQ(machine, PeMachine(folder + "TovaroCitrixVC.dll"));
        std::string text;
        EXPECT_TRUE(GetString(view, kModuleKey, "DriverNameWin32", text));
        EXPECT_EQ("TovaroCitrixVC.dll", text);
        ASSERT_TRUE(GetString(view, kListKey, "VirtualDriverEx", text));
        EXPECT_EQ(list, text);
    }
    void ExpectNotRegistered(REGSAM view, const std::string& folder) {
        SCOPED_TRACE(view == KEY_WOW64_64KEY ? "64-bit client" : "32-bit client");
        EXPECT_FALSE(FileExists(folder + "TovaroCitrixVC.dll"));
        EXPECT_FALSE(KeyExists(view, kModuleKey));
        std::string list;
        if (GetString(view, kListKey, "VirtualDriverEx", list)) {
            EXPECT_EQ(0u, CountEntries(list, "TovUSB")) << list;
        }
    }
    void ExpectPackageFilesGone() {
        EXPECT_FALSE(FileExists(installFolder + "TovaroCitrixVCClientSetup.exe"));
        EXPECT_FALSE(FileExists(installFolder + "TovaroCitrixVC.dll"));
        EXPECT_FALSE(FileExists(installFolder + "x64\\TovaroCitrixVC.dll"));
        EXPECT_TRUE(TovUSBProducts().empty());
    }

    // The machine type of a PE image, 0 when the file is not one.
    static uint16_t PeMachine(const std::string& path) {
        std::string image;
        if (!ReadFile(path, image) || image.size() < 64 || image.compare(0, 2, "MZ") != 0) return 0;
        DWORD offset = 0;
        memcpy(&offset, image.data() + 60, sizeof offset);
        if (offset > image.size() - 6 || image.compare(offset, 4, std::string("PE\0\0", 4)) != 0) return 0;
        uint16_t machine = 0;
        memcpy(&machine, image.data() + offset + 4, sizeof machine);
        return machine;
    }

    // Reads a log that may be written in UTF-16 (msiexec on Windows) or in 8-bit characters (Wine).
    static std::string ReadLog(const std::string& path) {
        std::string raw;
        if (!ReadFile(path, raw)) return "";
        raw.erase(std::remove(raw.begin(), raw.end(), '\0'), raw.end());
        return raw;
    }

    std::string installFolder, setupLog, healTaskDefinition;
};

// The shipped package (32-bit build) carries the 32-bit setup program and the 32-bit driver; the
// win64 build's test copy carries its 64-bit setup program and driver and is tested with the
// 64-bit ICA Client only.
#if TOV_MSI_SHIPPED
TEST_F(MsiPackageTest, InstallsForBothClientsAndRemovesEverything) {
    InstallICAClient("Alpha");
    InstallICAClient64();

    ASSERT_EQ(0u, Install(TOV_MSI_PATH, root + "install.log")) << ReadLog(root + "install.log");

    EXPECT_EQ(kMachineI386, PeMachine(installFolder + "TovaroCitrixVCClientSetup.exe"));
    EXPECT_EQ(kMachineI386, PeMachine(installFolder + "TovaroCitrixVC.dll"));
    EXPECT_EQ(kMachineX64, PeMachine(installFolder + "x64\\TovaroCitrixVC.dll"));
    ExpectRegistered(KEY_WOW64_32KEY, clientFolder, kMachineI386, "Alpha, TovUSB");
    ExpectRegistered(KEY_WOW64_64KEY, clientFolder64, kMachineX64, "TovUSB");
    const std::vector<ProductEntry> products = TovUSBProducts();
    ASSERT_EQ(1u, products.size());
    EXPECT_EQ(TOV_MSI_VERSION, products[0].version);
    EXPECT_EQ("Tovaro", products[0].publisher);
    // The silent install wrote its numbered lines where the package was told to.
    EXPECT_NE(std::string::npos, ReadLog(setupLog).find("Citrix client installation finished successfully"))
        << ReadLog(setupLog);

    ASSERT_EQ(0u, Remove(TOV_MSI_PATH, root + "remove.log")) << ReadLog(root + "remove.log");

    ExpectNotRegistered(KEY_WOW64_32KEY, clientFolder);
    ExpectNotRegistered(KEY_WOW64_64KEY, clientFolder64);
    std::string list;
    ASSERT_TRUE(GetString(KEY_WOW64_32KEY, kListKey, "VirtualDriverEx", list));
    EXPECT_EQ("Alpha", list);
    ExpectPackageFilesGone();
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(installFolder.c_str())) << "the folder stays";
}
#endif

TEST_F(MsiPackageTest, OnlyA64BitClientGetsTheX64DriverAndThe32BitViewStaysEmpty) {
    InstallICAClient64("Alpha, Beta");

    ASSERT_EQ(0u, Install(TOV_MSI_PATH, root + "install.log")) << ReadLog(root + "install.log");

    ExpectRegistered(KEY_WOW64_64KEY, clientFolder64, kMachineX64, "Alpha, Beta, TovUSB");
    EXPECT_FALSE(KeyExists(KEY_WOW64_32KEY, "SOFTWARE\\Citrix"));
    EXPECT_FALSE(FileExists(driverTarget()));

    ASSERT_EQ(0u, Remove(TOV_MSI_PATH, root + "remove.log")) << ReadLog(root + "remove.log");
    ExpectNotRegistered(KEY_WOW64_64KEY, clientFolder64);
    ExpectPackageFilesGone();
}

TEST_F(MsiPackageTest, NewerVersionReplacesTheOlderInPlace) {
    if (TOV_MSI_SHIPPED) InstallICAClient("");
    InstallICAClient64("Alpha");
    ASSERT_EQ(0u, Install(TOV_MSI_PATH, root + "install.log")) << ReadLog(root + "install.log");
    ASSERT_EQ(1u, TovUSBProducts().size());

    ASSERT_EQ(0u, Install(TOV_MSI_NEWER_PATH, root + "upgrade.log")) << ReadLog(root + "upgrade.log");

    const std::vector<ProductEntry> products = TovUSBProducts();
    ASSERT_EQ(1u, products.size());
    EXPECT_EQ(TOV_MSI_NEWER_VERSION, products[0].version);
    if (TOV_MSI_SHIPPED) ExpectRegistered(KEY_WOW64_32KEY, clientFolder, kMachineI386, "TovUSB");
    ExpectRegistered(KEY_WOW64_64KEY, clientFolder64, kMachineX64, "Alpha, TovUSB");
    EXPECT_TRUE(FileExists(installFolder + "x64\\TovaroCitrixVC.dll"));

    // The older package can no longer be installed over the newer one.
    EXPECT_NE(0u, Install(TOV_MSI_PATH, root + "downgrade.log"));
    ASSERT_EQ(1u, TovUSBProducts().size());
    EXPECT_EQ(TOV_MSI_NEWER_VERSION, TovUSBProducts()[0].version);

    ASSERT_EQ(0u, Remove(TOV_MSI_NEWER_PATH, root + "remove.log")) << ReadLog(root + "remove.log");
    ExpectNotRegistered(KEY_WOW64_32KEY, clientFolder);
    ExpectNotRegistered(KEY_WOW64_64KEY, clientFolder64);
    ExpectPackageFilesGone();
}

TEST_F(MsiPackageTest, InstalledBeforeAnyICAClientRegistersNothingAndTheTaskRegistersTheClientThatComes) {
    ASSERT_EQ(0u, Install(TOV_MSI_PATH, root + "install.log")) << ReadLog(root + "install.log");

    EXPECT_NE(std::string::npos, ReadLog(root + "install.log").find("No Citrix ICA Client found"))
        << ReadLog(root + "install.log");
    EXPECT_EQ(std::string::npos, ReadLog(setupLog).find("Citrix client installation")) << ReadLog(setupLog);
    ExpectNotRegistered(KEY_WOW64_32KEY, clientFolder);
    ExpectNotRegistered(KEY_WOW64_64KEY, clientFolder64);
    EXPECT_EQ(1, TovUSBTaskCount());

    // The 64-bit client arrives (every package carries its driver); the task's action registers it.
    InstallICAClient64("Alpha");
    EXPECT_EQ(0u, RunHealTaskAction()) << ReadLog(setupLog);
    ExpectRegistered(KEY_WOW64_64KEY, clientFolder64, kMachineX64, "Alpha, TovUSB");

    ASSERT_EQ(0u, Remove(TOV_MSI_PATH, root + "remove.log")) << ReadLog(root + "remove.log");
    ExpectNotRegistered(KEY_WOW64_64KEY, clientFolder64);
    EXPECT_EQ(0, TovUSBTaskCount());
    ExpectPackageFilesGone();
}

TEST_F(MsiPackageTest, ThePackagesTaskHealsTheReplacementOfThe32BitClientByThe64BitOne) {
    // The shipped package is installed with the 32-bit client present. The win64 test copy carries
    // no 32-bit driver (and its host may run no 32-bit code): it is installed first, and the 32-bit
    // client's registration is prepared by registry and folder only, as the shipped package leaves it.
    if (TOV_MSI_SHIPPED) {
        InstallICAClient("Alpha");
        ASSERT_EQ(0u, Install(TOV_MSI_PATH, root + "install.log")) << ReadLog(root + "install.log");
    } else {
        ASSERT_EQ(0u, Install(TOV_MSI_PATH, root + "install.log")) << ReadLog(root + "install.log");
        InstallICAClient("Alpha, TovUSB");
        WriteModuleValue("TovaroCitrixVC.dll");
        WriteFile(driverTarget(), DllImage(kMachineI386, "32-bit driver"));
    }
    ExpectRegistered(KEY_WOW64_32KEY, clientFolder, kMachineI386, "Alpha, TovUSB");
    ASSERT_EQ(1, TovUSBTaskCount());

    // The task's definition as the Task Scheduler gets it.
    const std::string definition = ReadUtf16File(healTaskDefinition);
    ASSERT_NE("", definition) << "no UTF-16 definition at " << healTaskDefinition;
    EXPECT_EQ(0u, definition.find("<?xml version=\"1.0\" encoding=\"UTF-16\"?>")) << definition;
    for (const char* part :
         {"<BootTrigger>\r\n      <Enabled>true</Enabled>", "<LogonTrigger>\r\n      <Enabled>true</Enabled>",
          "<EventTrigger>\r\n      <Enabled>true</Enabled>", "<UserId>S-1-5-18</UserId>", "<Hidden>true</Hidden>",
          "<ExecutionTimeLimit>PT5M</ExecutionTimeLimit>"})
        EXPECT_NE(std::string::npos, definition.find(part)) << part << "\n" << definition;
    EXPECT_EQ("<QueryList><Query Id=\"0\" Path=\"Application\"><Select Path=\"Application\">"
              "*[System[Provider[@Name='MsiInstaller'] and (EventID=1033 or EventID=11707)]]</Select></Query>"
              "</QueryList>",
              Element(definition, "Subscription"));
    EXPECT_EQ(installFolder + "TovaroCitrixVCClientSetup.exe", Element(definition, "Command"));
    EXPECT_EQ("/heal /quiet /log \"" + setupLog + "\"", Element(definition, "Arguments"));

    // The 32-bit client is replaced by the 64-bit one: its keys and its folder go.
    HKEY software;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, &software));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteTreeA(software, "Citrix"));
    RegCloseKey(software);
    RemoveTree(clientFolder);
    InstallICAClient64("Beta");

    Snapshot before = TakeSnapshot();
    ASSERT_EQ(0u, RunHealTaskAction()) << ReadLog(setupLog);
    Snapshot after = TakeSnapshot();

    ExpectRegistered(KEY_WOW64_64KEY, clientFolder64, kMachineX64, "Beta, TovUSB");
    std::string driver, shipped;
    ASSERT_TRUE(ReadFile(clientFolder64 + "TovaroCitrixVC.dll", driver));
    ASSERT_TRUE(ReadFile(installFolder + "x64\\TovaroCitrixVC.dll", shipped));
    EXPECT_TRUE(driver == shipped) << "the driver is not the package's 64-bit driver";
    EXPECT_NE(std::string::npos, ReadLog(setupLog).find("64-bit client: Citrix client installation finished"))
        << ReadLog(setupLog);
    // Nothing else changed: the same state apart from the 64-bit client's three pieces and the log.
    const std::string module64 = std::string("HKLM64|") + kModuleKey + "\\";
    for (const std::string& changed : {module64, module64 + "DriverNameWin32",
                                       std::string("HKLM64|") + kListKey + "\\VirtualDriverEx",
                                       clientFolder64 + "TovaroCitrixVC.dll", setupLog}) {
        EXPECT_TRUE(after.count(changed)) << changed;
        before.erase(changed);
        after.erase(changed);
    }
    EXPECT_TRUE(before == after);
    for (const auto& entry : after)
        if (!before.count(entry.first) || before[entry.first] != entry.second) ADD_FAILURE() << "changed: " << entry.first;
    for (const auto& entry : before)
        if (!after.count(entry.first)) ADD_FAILURE() << "gone: " << entry.first;

    // A second run finds everything whole and changes nothing, the setup log included.
    before = TakeSnapshot();
    ASSERT_EQ(0u, RunHealTaskAction()) << ReadLog(setupLog);
    EXPECT_TRUE(before == TakeSnapshot());

    // Removal takes the task, its definition and every registration.
    ASSERT_EQ(0u, Remove(TOV_MSI_PATH, root + "remove.log")) << ReadLog(root + "remove.log");
    EXPECT_EQ(0, TovUSBTaskCount());
    EXPECT_FALSE(FileExists(healTaskDefinition));
    ExpectNotRegistered(KEY_WOW64_32KEY, clientFolder);
    ExpectNotRegistered(KEY_WOW64_64KEY, clientFolder64);
    ExpectPackageFilesGone();
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(installFolder.c_str())) << "the folder stays";
}

TEST_F(MsiPackageTest, RepairAndUpgradeKeepOneTaskAndTheSwitchedOffTaskStaysAway) {
    InstallICAClient64("Alpha");
    ASSERT_EQ(0u, Install(TOV_MSI_PATH, root + "install.log")) << ReadLog(root + "install.log");
    EXPECT_EQ(1, TovUSBTaskCount());
    std::string buttonsGoTo;
    EXPECT_TRUE(GetString(KEY_WOW64_32KEY, "SOFTWARE\\Tovaro\\TovUSB", "ButtonsGoTo", buttonsGoTo));
    EXPECT_EQ("LastActiveSession", buttonsGoTo);
    ASSERT_EQ(0u, Repair(TOV_MSI_PATH, root + "repair.log")) << ReadLog(root + "repair.log");
    EXPECT_EQ(1, TovUSBTaskCount());
    ASSERT_EQ(0u, Install(TOV_MSI_NEWER_PATH, root + "upgrade.log")) << ReadLog(root + "upgrade.log");
    EXPECT_EQ(1, TovUSBTaskCount());
    EXPECT_TRUE(FileExists(healTaskDefinition));
    ASSERT_EQ(0u, Remove(TOV_MSI_NEWER_PATH, root + "remove.log")) << ReadLog(root + "remove.log");
    EXPECT_EQ(0, TovUSBTaskCount());

    // Switched off at install: no task, and a repair and an upgrade without the property remember
    // the choice. The channel itself is registered all the same.
    // The sessions' switch is remembered the same way.
    ASSERT_EQ(0u, Install(TOV_MSI_PATH, root + "off.log", " TOVUSB_SELFHEAL=0 TOVUSB_BUTTONSGOTO=EverySession"))
        << ReadLog(root + "off.log");
    EXPECT_EQ(0, TovUSBTaskCount());
    EXPECT_FALSE(FileExists(healTaskDefinition));
    ExpectRegistered(KEY_WOW64_64KEY, clientFolder64, kMachineX64, "Alpha, TovUSB");
    ASSERT_EQ(0u, Repair(TOV_MSI_PATH, root + "off-repair.log")) << ReadLog(root + "off-repair.log");
    EXPECT_EQ(0, TovUSBTaskCount());
    ASSERT_EQ(0u, Install(TOV_MSI_NEWER_PATH, root + "off-upgrade.log")) << ReadLog(root + "off-upgrade.log");
    EXPECT_EQ(0, TovUSBTaskCount());
    EXPECT_TRUE(GetString(KEY_WOW64_32KEY, "SOFTWARE\\Tovaro\\TovUSB", "ButtonsGoTo", buttonsGoTo));
    EXPECT_EQ("EverySession", buttonsGoTo);
    EXPECT_FALSE(FileExists(healTaskDefinition));
    // Switched on again by a repair that says so.
    ASSERT_EQ(0u, Repair(TOV_MSI_NEWER_PATH, root + "on.log", " TOVUSB_SELFHEAL=1")) << ReadLog(root + "on.log");
    EXPECT_EQ(1, TovUSBTaskCount());
    ASSERT_EQ(0u, Remove(TOV_MSI_NEWER_PATH, root + "remove2.log")) << ReadLog(root + "remove2.log");
    EXPECT_EQ(0, TovUSBTaskCount());
    ExpectNotRegistered(KEY_WOW64_64KEY, clientFolder64);
}

// The device check lies beside the setup program, with a Start menu shortcut for every user; a
// repair brings back both when they were deleted, an upgrade keeps one of each, removal takes both.
TEST_F(MsiPackageTest, TheDeviceCheckAndItsShortcutAreInstalledRepairedUpgradedAndRemoved) {
    ASSERT_EQ(0u, Install(TOV_MSI_PATH, root + "install.log")) << ReadLog(root + "install.log");
    // The Start menu the installer used: all users' for this per-machine package on Windows (Wine
    // takes the installing user's), as its log names it.
    const std::string log = ReadLog(root + "install.log"), property = "Property(S): ProgramMenuFolder = ";
    const size_t at = log.find(property);
    ASSERT_NE(std::string::npos, at);
    const std::string programs = log.substr(at + property.size(), log.find_first_of("\r\n", at) - at - property.size());
    const std::string shortcut = programs + "TovUSB device check.lnk";
    const std::string deviceCheck = installFolder + "TovaroCitrixVCDeviceCheck.exe";
    std::string built, installed;
    ASSERT_TRUE(ReadFile(HostPath(TOV_DEVICECHECK_PATH), built)) << TOV_DEVICECHECK_PATH;
    const auto expectInstalled = [&](const char* when) {
        SCOPED_TRACE(when);
        EXPECT_TRUE(ReadFile(deviceCheck, installed) && installed == built) << "not the built device check";
        std::string link;
        ASSERT_TRUE(ReadFile(shortcut, link)) << shortcut;
        // A shell link (its header size and class id) naming the installed program, not an
        // advertised one that names the package's feature.
        EXPECT_EQ(0u, link.find(std::string("\x4C\0\0\0\x01\x14\x02\0", 8)));
        const std::string wide("T\0o\0v\0a\0r\0o\0C\0i\0t\0r\0i\0x\0V\0C\0D\0e\0v\0i\0c\0e\0C\0h\0e\0c\0k\0", 50);
        EXPECT_TRUE(link.find("TovaroCitrixVCDeviceCheck.exe") != std::string::npos || link.find(wide) != std::string::npos);
    };

    expectInstalled("install");

    ASSERT_TRUE(DeleteFileA(deviceCheck.c_str()));
    ASSERT_TRUE(DeleteFileA(shortcut.c_str()));
    ASSERT_EQ(0u, Repair(TOV_MSI_PATH, root + "repair.log")) << ReadLog(root + "repair.log");
    expectInstalled("repair");

    ASSERT_EQ(0u, Install(TOV_MSI_NEWER_PATH, root + "upgrade.log")) << ReadLog(root + "upgrade.log");
    expectInstalled("upgrade");
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((programs + "TovUSB*").c_str(), &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    EXPECT_FALSE(FindNextFileA(find, &data)) << "a second shortcut: " << data.cFileName;
    FindClose(find);

    ASSERT_EQ(0u, Remove(TOV_MSI_NEWER_PATH, root + "remove.log")) << ReadLog(root + "remove.log");
    EXPECT_FALSE(FileExists(deviceCheck));
    EXPECT_FALSE(FileExists(shortcut));
    ExpectPackageFilesGone();
}

// The ICA Client whose driver a helper of the tests' own bitness can load: the 64-bit client in
// the win64 build, the 32-bit one in the win32 build (whose package is the shipped one).
struct OwnClient {
    REGSAM view;
    uint16_t machine;
};
constexpr OwnClient kOwnClient = sizeof(void*) == 8 ? OwnClient{KEY_WOW64_64KEY, kMachineX64}
                                                    : OwnClient{KEY_WOW64_32KEY, kMachineI386};

TEST_F(MsiPackageTest, InstallRepairAndRemovalOverADialogInstallWithTheDriverInUse) {
    // The dialog registered the channel earlier, and a running session has its driver loaded.
    const bool own64 = kOwnClient.view == KEY_WOW64_64KEY;
    const std::string folder = own64 ? clientFolder64 : clientFolder;
    const std::string target = folder + "TovaroCitrixVC.dll";
    if (own64) {
        InstallICAClient64("Alpha, TovUSB");
    } else {
        InstallICAClient("Alpha, TovUSB");
    }
    HKEY module;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, kModuleKey, 0, nullptr, 0,
                                             KEY_ALL_ACCESS | kOwnClient.view, nullptr, &module, nullptr));
    RegSetValueExA(module, "DriverNameWin32", 0, REG_SZ, reinterpret_cast<const BYTE*>("TovaroCitrixVC.dll"), 19);
    RegCloseKey(module);
    ASSERT_TRUE(CopyFileA(LoadableDll().c_str(), target.c_str(), FALSE));
    FileHolder session(FileHolder::Mode::kLoad, target);
    ASSERT_TRUE(session.Held());

    ASSERT_EQ(0u, Install(TOV_MSI_PATH, root + "install.log")) << ReadLog(setupLog);
    ExpectRegistered(kOwnClient.view, folder, kOwnClient.machine, "Alpha, TovUSB");
    EXPECT_TRUE(FileExists(target + ".old-1"));
    EXPECT_NE(std::string::npos, ReadLog(setupLog).find("completes the replacement")) << ReadLog(setupLog);

    // Repair ("Repair" in Programs and Features) and a reinstall of every file keep it registered.
    // Both are given as the properties msiexec's /f sets (Wine's msiexec answers /f with 1).
    ASSERT_EQ(0u, Msiexec("/i \"" + HostPath(TOV_MSI_PATH) + "\" REINSTALL=ALL REINSTALLMODE=omus /qn /l*v \"" + root +
                          "repair.log\""))
        << ReadLog(setupLog);
    EXPECT_NE(std::string::npos, ReadLog(root + "repair.log").find("RegisterChannel")) << "the repair registered nothing";
    ExpectRegistered(kOwnClient.view, folder, kOwnClient.machine, "Alpha, TovUSB");
    ASSERT_EQ(0u, Msiexec("/i \"" + HostPath(TOV_MSI_PATH) + "\" REINSTALL=ALL REINSTALLMODE=vamus /qn /l*v \"" + root +
                          "reinstall.log\""))
        << ReadLog(setupLog);
    ExpectRegistered(kOwnClient.view, folder, kOwnClient.machine, "Alpha, TovUSB");
    ASSERT_EQ(1u, TovUSBProducts().size());

    // Removal with the old file still loaded: everything of the channel goes, the loaded file is
    // renamed aside for the next restart.
    ASSERT_EQ(0u, Remove(TOV_MSI_PATH, root + "remove.log")) << ReadLog(root + "remove.log");
    ExpectNotRegistered(kOwnClient.view, folder);
    std::string list;
    ASSERT_TRUE(GetString(kOwnClient.view, kListKey, "VirtualDriverEx", list));
    EXPECT_EQ("Alpha", list);
    EXPECT_TRUE(FileExists(target + ".old-1"));
    EXPECT_TRUE(IsMarkedForDeletionAtRestart(target + ".old-1"));
    ExpectPackageFilesGone();
}

TEST_F(MsiPackageTest, UpgradeWithTheDriverInUseEndsRegisteredWithTheNewVersion) {
    const bool own64 = kOwnClient.view == KEY_WOW64_64KEY;
    const std::string folder = own64 ? clientFolder64 : clientFolder;
    if (own64) {
        InstallICAClient64("Alpha");
    } else {
        InstallICAClient("Alpha");
    }
    ASSERT_EQ(0u, Install(TOV_MSI_PATH, root + "install.log")) << ReadLog(root + "install.log");
    FileHolder session(FileHolder::Mode::kLoad, folder + "TovaroCitrixVC.dll");
    ASSERT_TRUE(session.Held());

    ASSERT_EQ(0u, Install(TOV_MSI_NEWER_PATH, root + "upgrade.log")) << ReadLog(setupLog);
    const std::vector<ProductEntry> products = TovUSBProducts();
    ASSERT_EQ(1u, products.size());
    EXPECT_EQ(TOV_MSI_NEWER_VERSION, products[0].version);
    ExpectRegistered(kOwnClient.view, folder, kOwnClient.machine, "Alpha, TovUSB");
    EXPECT_TRUE(FileExists(folder + "TovaroCitrixVC.dll.old-1"));
}

TEST_F(MsiPackageTest, TheOlderVersionsRemovalForAnUpgradeLeavesTheRegistration) {
    // What Windows Installer does in a major upgrade: it removes the older product with
    // UPGRADINGPRODUCTCODE set to the newer one. The channel stays registered throughout; the
    // newer version's install then takes it over.
    const bool own64 = kOwnClient.view == KEY_WOW64_64KEY;
    const std::string folder = own64 ? clientFolder64 : clientFolder;
    if (own64) {
        InstallICAClient64("Alpha");
    } else {
        InstallICAClient("Alpha");
    }
    ASSERT_EQ(0u, Install(TOV_MSI_PATH, root + "install.log")) << ReadLog(root + "install.log");
    ASSERT_EQ(0u, Msiexec("/x \"" + HostPath(TOV_MSI_PATH) + "\" /qn UPGRADINGPRODUCTCODE={0E2F3C4D-5A6B-4C7D-8E9F-A0B1C2D3E4F5}"));
    EXPECT_TRUE(TovUSBProducts().empty());
    ExpectRegistered(kOwnClient.view, folder, kOwnClient.machine, "Alpha, TovUSB");
    // Without it, removing the package removes the registration.
    ASSERT_EQ(0u, Install(TOV_MSI_PATH, root + "again.log"));
    ASSERT_EQ(0u, Remove(TOV_MSI_PATH, root + "remove.log"));
    ExpectNotRegistered(kOwnClient.view, folder);
}

TEST_F(MsiPackageTest, AFailedRegistrationPutsBackExactlyWhatItChangedAndRollsBackTheFiles) {
    // The 64-bit client's older driver is held open without delete sharing, so its copy fails
    // after its module key and list entry were written (and, with the shipped package, after the
    // 32-bit client was registered completely).
    if (TOV_MSI_SHIPPED) InstallICAClient("Alpha");
    InstallICAClient64("Beta");
    WriteFile(driverTarget64(), "older 64-bit driver");
    FileHolder session(FileHolder::Mode::kOpen, driverTarget64());
    ASSERT_TRUE(session.Held());

    const DWORD exitCode = Install(TOV_MSI_PATH, root + "install.log");
    ASSERT_TRUE(session.Release());

    EXPECT_NE(0u, exitCode);
    EXPECT_NE(static_cast<DWORD>(ERROR_SUCCESS_REBOOT_REQUIRED), exitCode);
    const std::string log = ReadLog(setupLog);
    // The failure came after the first changes.
    EXPECT_NE(std::string::npos, log.find("Successfully wrote Beta, TovUSB to value VirtualDriverEx")) << log;
    if (TOV_MSI_SHIPPED) {
        EXPECT_NE(std::string::npos, log.find("32-bit client: Successfully copied")) << log;
    }
    EXPECT_NE(std::string::npos, log.find("ERROR: Could not copy")) << log;
    EXPECT_NE(std::string::npos, log.find("what it had changed was put back")) << log;
    // Exactly the state from before.
    std::string list;
    EXPECT_FALSE(KeyExists(KEY_WOW64_64KEY, kModuleKey));
    ASSERT_TRUE(GetString(KEY_WOW64_64KEY, kListKey, "VirtualDriverEx", list));
    EXPECT_EQ("Beta", list);
    std::string content;
    ASSERT_TRUE(ReadFile(driverTarget64(), content));
    EXPECT_EQ("older 64-bit driver", content);
    if (TOV_MSI_SHIPPED) {
        EXPECT_FALSE(KeyExists(KEY_WOW64_32KEY, kModuleKey));
        ASSERT_TRUE(GetString(KEY_WOW64_32KEY, kListKey, "VirtualDriverEx", list));
        EXPECT_EQ("Alpha", list);
        EXPECT_FALSE(FileExists(driverTarget()));
    }
    ExpectPackageFilesGone();
}

}  // namespace
}  // namespace setuptest
