// Fake ICA Client installations for the setup tests: the 32-bit client's keys in the 32-bit registry
// view, the 64-bit client's in the 64-bit view, their folders inside the Wine prefix, and the setup
// program's folder with or without the driver files beside it. Everything is removed before and
// after each test.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace setuptest {

constexpr const char* kICAClientKey = "SOFTWARE\\Citrix\\Install\\ICA Client";
constexpr const char* kModuleKey = "SOFTWARE\\Citrix\\ICA Client\\Engine\\Configuration\\Advanced\\Modules\\TovUSB";
constexpr const char* kListKey = "SOFTWARE\\Citrix\\ICA Client\\Engine\\Configuration\\Advanced\\Modules\\ICA 3.0";
constexpr uint16_t kMachineI386 = 0x014C, kMachineX64 = 0x8664;

// A string value of a key under HKEY_LOCAL_MACHINE in the registry view (KEY_WOW64_32KEY or
// KEY_WOW64_64KEY); false when the key or a string value is missing.
bool GetString(REGSAM view, const std::string& key, const char* value, std::string& text);
bool KeyExists(REGSAM view, const std::string& key);

// The first bytes of a PE DLL for `machine` (DOS header, "PE\0\0", file header with the DLL flag,
// the optional header's format word), followed by `marker` so copies can be told apart.
std::string DllImage(uint16_t machine, const std::string& marker);
// The drivers the tests put beside the program: a 32-bit and a 64-bit DLL image.
extern const std::string kDriverContent;
extern const std::string kDriver64Content;

class SetupSandbox : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes "InstallFolder" (the client folder with a trailing backslash unless `value` is given)
    // and, when `list` is not null, "VirtualDriverEx" with a terminating zero.
    void InstallICAClient(const char* list = "", const std::string* value = nullptr);
    void WriteList(const std::string& list);
    void WriteModuleValue(const std::string& driverName);
    void PutDriverBesideProgram(const std::string& content = kDriverContent);
    // The same for the 64-bit client: keys in the 64-bit view, driver in the program's x64 folder.
    void InstallICAClient64(const char* list = "");
    void WriteList64(const std::string& list);
    void PutDriver64BesideProgram(const std::string& content = kDriver64Content);
    bool ReadList64(std::string& list) const;
    bool ModuleKeyExists64() const;
    std::string ModuleValue64() const;  // "" when missing

    bool ReadList(std::string& list) const;
    bool ModuleKeyExists() const;
    std::string ModuleValue() const;  // "" when missing
    static bool ReadFile(const std::string& path, std::string& content);
    static void WriteFile(const std::string& path, const std::string& content);
    static bool FileExists(const std::string& path);

    std::string root;           // C:\tovusb-setup-tests\<pid>\ ...
    std::string clientFolder;   // ...\ICA Client\  (with trailing backslash)
    std::string programFolder;  // ...\program\     (with trailing backslash)
    std::string driverSource() const { return programFolder + "TovaroCitrixVC.dll"; }
    std::string driverTarget() const { return clientFolder + "TovaroCitrixVC.dll"; }
    std::string clientFolder64;  // ...\ICA Client 64\  (with trailing backslash)
    std::string driverSource64() const { return programFolder + "x64\\TovaroCitrixVC.dll"; }
    std::string driverTarget64() const { return clientFolder64 + "TovaroCitrixVC.dll"; }

private:
    void Clean();
};

// Everything the tests can see of a PC's state: the values of registry keys and the files below
// folders, each with its bytes.
using Snapshot = std::map<std::string, std::string>;
// The values of the key under `root` in `view` (KEY_WOW64_32KEY, KEY_WOW64_64KEY or 0) and of all
// its subkeys; nothing when the key is missing.
void AddKey(Snapshot& snapshot, HKEY root, REGSAM view, const std::string& key);
// The folder (named with a trailing backslash) and every file below it.
void AddFiles(Snapshot& snapshot, const std::string& folder);

// Removes the folder (named with a trailing backslash) and everything in it.
void RemoveTree(const std::string& folder);

// Splits the log text into lines at "\r\n" (the last, empty piece after the final line end is
// dropped).
std::vector<std::string> SplitLines(const std::string& text);

}  // namespace setuptest
