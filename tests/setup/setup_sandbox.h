// A fake ICA Client installation for the setup tests: its registry keys (in the view a 32-bit
// program sees) and folders inside the Wine prefix, the setup program's folder with or without the
// driver file beside it. Everything is removed before and after each test.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace setuptest {

constexpr const char* kICAClientKey = "SOFTWARE\\Citrix\\Install\\ICA Client";
constexpr const char* kModuleKey = "SOFTWARE\\Citrix\\ICA Client\\Engine\\Configuration\\Advanced\\Modules\\TovUSB";
constexpr const char* kListKey = "SOFTWARE\\Citrix\\ICA Client\\Engine\\Configuration\\Advanced\\Modules\\ICA 3.0";
constexpr const char* kDriverContent = "MZ driver image, build 2";

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

private:
    void Clean();
};

// Splits the log text into lines at "\r\n" (the last, empty piece after the final line end is
// dropped).
std::vector<std::string> SplitLines(const std::string& text);

}  // namespace setuptest
