#include "setup_sandbox.h"

#include <fstream>
#include <iterator>

namespace setuptest {

namespace {

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

void SetString(const char* key, const char* value, const std::string& text) {
    HKEY handle;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &handle, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(handle, value, 0, REG_SZ,
                                            reinterpret_cast<const BYTE*>(text.c_str()),
                                            static_cast<DWORD>(text.size() + 1)));
    RegCloseKey(handle);
}

bool GetString(const char* key, const char* value, std::string& text) {
    char buffer[4096];
    DWORD length = sizeof buffer;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, key, value, RRF_RT_REG_SZ, nullptr, buffer, &length) !=
        ERROR_SUCCESS)
        return false;
    text.assign(buffer);
    return true;
}

}  // namespace

void SetupSandbox::SetUp() {
    root = "C:\\tovusb-setup-tests\\" + std::to_string(GetCurrentProcessId()) + "\\";
    clientFolder = root + "ICA Client\\";
    programFolder = root + "program\\";
    Clean();
    CreateDirectoryA("C:\\tovusb-setup-tests", nullptr);
    ASSERT_TRUE(CreateDirectoryA(root.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(clientFolder.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(programFolder.c_str(), nullptr));
}

void SetupSandbox::TearDown() { Clean(); }

void SetupSandbox::Clean() {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Citrix");
    RemoveTree(root);
    RemoveDirectoryA("C:\\tovusb-setup-tests");  // only when empty
}

void SetupSandbox::InstallICAClient(const char* list, const std::string* value) {
    SetString(kICAClientKey, "InstallFolder", value ? *value : clientFolder);
    if (list) WriteList(list);
}

void SetupSandbox::WriteList(const std::string& list) { SetString(kListKey, "VirtualDriverEx", list); }

void SetupSandbox::WriteModuleValue(const std::string& driverName) {
    SetString(kModuleKey, "DriverNameWin32", driverName);
}

void SetupSandbox::PutDriverBesideProgram(const std::string& content) { WriteFile(driverSource(), content); }

bool SetupSandbox::ReadList(std::string& list) const { return GetString(kListKey, "VirtualDriverEx", list); }

bool SetupSandbox::ModuleKeyExists() const {
    HKEY handle;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kModuleKey, 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
    RegCloseKey(handle);
    return true;
}

std::string SetupSandbox::ModuleValue() const {
    std::string text;
    return GetString(kModuleKey, "DriverNameWin32", text) ? text : std::string();
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
