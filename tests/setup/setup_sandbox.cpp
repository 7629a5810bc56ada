#include "setup_sandbox.h"

#include <fstream>
#include <iterator>

namespace setuptest {

void RemoveTree(const std::string& folder) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = data.cFileName;
            if (name == "." || name == "..") continue;
            const std::string path = folder + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path + "\\");
            } else {
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    RemoveDirectoryA(folder.c_str());
}

namespace {

// The registry views of the two clients, named explicitly so the tests find the same keys whatever
// their own bitness.
constexpr REGSAM k32 = KEY_WOW64_32KEY, k64 = KEY_WOW64_64KEY;

void SetString(REGSAM view, const char* key, const char* value, const std::string& text) {
    HKEY handle;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_ALL_ACCESS | view,
                                             nullptr, &handle, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(handle, value, 0, REG_SZ,
                                            reinterpret_cast<const BYTE*>(text.c_str()),
                                            static_cast<DWORD>(text.size() + 1)));
    RegCloseKey(handle);
}

void PutWord(std::string& bytes, size_t at, uint16_t value) {
    bytes[at] = static_cast<char>(value & 0xFF);
    bytes[at + 1] = static_cast<char>(value >> 8);
}

}  // namespace

bool GetString(REGSAM view, const std::string& key, const char* value, std::string& text) {
    HKEY handle;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ | view, &handle) != ERROR_SUCCESS) return false;
    char buffer[4096];
    DWORD length = sizeof buffer;
    const LONG result = RegGetValueA(handle, nullptr, value, RRF_RT_REG_SZ, nullptr, buffer, &length);
    RegCloseKey(handle);
    if (result != ERROR_SUCCESS) return false;
    text.assign(buffer);
    return true;
}

bool KeyExists(REGSAM view, const std::string& key) {
    HKEY handle;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ | view, &handle) != ERROR_SUCCESS) return false;
    RegCloseKey(handle);
    return true;
}

std::string DllImage(uint16_t machine, const std::string& marker) {
    std::string bytes(0x40 + 4 + 20 + 2, '\0');
    bytes[0] = 'M';
    bytes[1] = 'Z';
    PutWord(bytes, 0x3C, 0x40);  // where the PE header starts
    bytes.replace(0x40, 4, std::string("PE\0\0", 4));
    PutWord(bytes, 0x44, machine);
    PutWord(bytes, 0x44 + 16, machine == kMachineX64 ? 0xF0 : 0xE0);  // optional header size
    PutWord(bytes, 0x44 + 18, 0x2102);  // executable image, 32-bit words, DLL
    PutWord(bytes, 0x44 + 20, machine == kMachineX64 ? 0x20B : 0x10B);  // PE32+ or PE32
    return bytes + marker;
}

const std::string kDriverContent = DllImage(kMachineI386, "driver image, build 2");
const std::string kDriver64Content = DllImage(kMachineX64, "64-bit driver image, build 2");

void SetupSandbox::SetUp() {
    root = "C:\\tovusb-setup-tests\\" + std::to_string(GetCurrentProcessId()) + "\\";
    clientFolder = root + "ICA Client\\";
    clientFolder64 = root + "ICA Client 64\\";
    programFolder = root + "program\\";
    Clean();
    CreateDirectoryA("C:\\tovusb-setup-tests", nullptr);
    ASSERT_TRUE(CreateDirectoryA(root.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(clientFolder.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(clientFolder64.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(programFolder.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((programFolder + "x64").c_str(), nullptr));
}

void SetupSandbox::TearDown() { Clean(); }

void SetupSandbox::Clean() {
    for (REGSAM view : {k32, k64}) {
        HKEY software;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_ALL_ACCESS | view, &software) != ERROR_SUCCESS)
            continue;
        RegDeleteTreeA(software, "Citrix");
        RegCloseKey(software);
    }
    RemoveTree(root);
    RemoveDirectoryA("C:\\tovusb-setup-tests");  // only when empty
}

void SetupSandbox::InstallICAClient(const char* list, const std::string* value) {
    SetString(k32, kICAClientKey, "InstallFolder", value ? *value : clientFolder);
    if (list) WriteList(list);
}

void SetupSandbox::WriteList(const std::string& list) { SetString(k32, kListKey, "VirtualDriverEx", list); }

void SetupSandbox::WriteModuleValue(const std::string& driverName) {
    SetString(k32, kModuleKey, "DriverNameWin32", driverName);
}

void SetupSandbox::PutDriverBesideProgram(const std::string& content) { WriteFile(driverSource(), content); }

bool SetupSandbox::ReadList(std::string& list) const { return GetString(k32, kListKey, "VirtualDriverEx", list); }

bool SetupSandbox::ModuleKeyExists() const { return KeyExists(k32, kModuleKey); }

std::string SetupSandbox::ModuleValue() const {
    std::string text;
    return GetString(k32, kModuleKey, "DriverNameWin32", text) ? text : std::string();
}

void SetupSandbox::InstallICAClient64(const char* list) {
    SetString(k64, kICAClientKey, "InstallFolder", clientFolder64);
    if (list) WriteList64(list);
}

void SetupSandbox::WriteList64(const std::string& list) { SetString(k64, kListKey, "VirtualDriverEx", list); }

void SetupSandbox::PutDriver64BesideProgram(const std::string& content) { WriteFile(driverSource64(), content); }

bool SetupSandbox::ReadList64(std::string& list) const { return GetString(k64, kListKey, "VirtualDriverEx", list); }

bool SetupSandbox::ModuleKeyExists64() const { return KeyExists(k64, kModuleKey); }

std::string SetupSandbox::ModuleValue64() const {
    std::string text;
    return GetString(k64, kModuleKey, "DriverNameWin32", text) ? text : std::string();
}

bool SetupSandbox::ReadFile(const std::string& path, std::string& content) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    content.assign(std::istreambuf_iterator<char>(in), {});
    return true;
}

void SetupSandbox::WriteFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
    ASSERT_TRUE(out.good()) << path;
}

bool SetupSandbox::FileExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void AddKey(Snapshot& snapshot, HKEY root, REGSAM view, const std::string& key) {
    HKEY handle;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ | view, &handle) != ERROR_SUCCESS) return;
    const std::string prefix = std::string(root == HKEY_CURRENT_USER ? "HKCU" : "HKLM") +
                               (view == KEY_WOW64_64KEY ? "64|" : view == KEY_WOW64_32KEY ? "32|" : "|") + key + "\\";
    snapshot[prefix] = "key";
    std::vector<char> name(16384);
    std::vector<BYTE> data(65536);
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = static_cast<DWORD>(name.size()), dataLength = static_cast<DWORD>(data.size()), type = 0;
        if (RegEnumValueA(handle, i, name.data(), &nameLength, nullptr, &type, data.data(), &dataLength) !=
            ERROR_SUCCESS)
            break;
        snapshot[prefix + std::string(name.data(), nameLength)] =
            std::to_string(type) + ":" + std::string(reinterpret_cast<const char*>(data.data()), dataLength);
    }
    std::vector<std::string> subkeys;
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        if (RegEnumKeyExA(handle, i, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        subkeys.emplace_back(name.data(), nameLength);
    }
    RegCloseKey(handle);
    for (const std::string& subkey : subkeys) AddKey(snapshot, root, view, key + "\\" + subkey);
}

void AddFiles(Snapshot& snapshot, const std::string& folder) {
    snapshot[folder] = "folder";
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = data.cFileName;
        if (name == "." || name == "..") continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            AddFiles(snapshot, folder + name + "\\");
        } else {
            std::ifstream file(folder + name, std::ios::binary);
            snapshot[folder + name] = std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        }
    } while (FindNextFileA(find, &data));
    FindClose(find);
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end = text.find("\r\n"); end != std::string::npos; end = text.find("\r\n", start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

}  // namespace setuptest
