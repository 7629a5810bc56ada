// The registry views: on 64-bit Windows (the project's Wine prefix is 64-bit) HKLM\SOFTWARE has a
// copy for 32-bit and one for 64-bit programs. Each operation must stay in the view it was given,
// also when it creates or deletes a key.
#include "Registry.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class RegistryViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        base = "SOFTWARE\\TovUSBViewTests\\" + std::to_string(GetCurrentProcessId());
        Clean();
    }
    void TearDown() override { Clean(); }
    void Clean() {
        for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
            HKEY parent;
            if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_ALL_ACCESS | view, &parent) != ERROR_SUCCESS)
                continue;
            RegDeleteTreeA(parent, ("TovUSBViewTests\\" + std::to_string(GetCurrentProcessId())).c_str());
            RegDeleteKeyExA(parent, "TovUSBViewTests", view, 0);  // only when empty
            RegCloseKey(parent);
        }
    }

    CRegistry At(RegistryView view, const std::string& subKey, const std::string& value) const {
        return CRegistry(kRegistryLocalMachine, CFileName(base + subKey, FileNameSyntax::Windows()), value, view);
    }
    // Reads a string directly through the given view flag: "" when missing.
    std::string Direct(REGSAM view, const std::string& subKey, const std::string& value) const {
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (base + subKey).c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
            return "";
        char data[256];
        DWORD length = sizeof data;
        const LONG result = RegGetValueA(key, nullptr, value.c_str(), RRF_RT_REG_SZ, nullptr, data, &length);
        RegCloseKey(key);
        return result == ERROR_SUCCESS ? data : "";
    }
    bool KeyExists(REGSAM view, const std::string& subKey) const {
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (base + subKey).c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }

    std::string base;
};

TEST_F(RegistryViewTest, EachViewReadsAndWritesItsOwnCopy) {
    ASSERT_TRUE(At(RegistryView::k32Bit, "\\Install", "InstallFolder").WriteString("C:\\x86\\"));
    ASSERT_TRUE(At(RegistryView::k64Bit, "\\Install", "InstallFolder").WriteString("C:\\x64\\"));
    EXPECT_EQ("C:\\x86\\", Direct(KEY_WOW64_32KEY, "\\Install", "InstallFolder"));
    EXPECT_EQ("C:\\x64\\", Direct(KEY_WOW64_64KEY, "\\Install", "InstallFolder"));

    std::string text;
    ASSERT_TRUE(At(RegistryView::k32Bit, "\\Install", "InstallFolder").ReadString(text));
    EXPECT_EQ("C:\\x86\\", text);
    ASSERT_TRUE(At(RegistryView::k64Bit, "\\Install", "InstallFolder").ReadString(text));
    EXPECT_EQ("C:\\x64\\", text);
    // The default is the program's own view: the 32-bit one for a 32-bit program.
    ASSERT_TRUE(At(RegistryView::kProgram, "\\Install", "InstallFolder").ReadString(text));
    EXPECT_EQ(sizeof(void*) == 4 ? "C:\\x86\\" : "C:\\x64\\", text);
    EXPECT_EQ(RegistryView::kProgram,
              CRegistry(kRegistryLocalMachine, CFileName("SOFTWARE", FileNameSyntax::Windows()), "").GetView());

    // A value only in the 64-bit view is missing in the 32-bit one, for every kind of read.
    ASSERT_TRUE(At(RegistryView::k64Bit, "\\Only64", "Size").WriteDWORD(7));
    uint32_t number = 0;
    EXPECT_FALSE(At(RegistryView::k32Bit, "\\Only64", "Size").ReadDWORD(number));
    ASSERT_TRUE(At(RegistryView::k64Bit, "\\Only64", "Size").ReadDWORD(number));
    EXPECT_EQ(7u, number);
    EXPECT_FALSE(KeyExists(KEY_WOW64_32KEY, "\\Only64"));
}

TEST_F(RegistryViewTest, KeysAreCreatedListedAndDeletedInTheGivenView) {
    ASSERT_TRUE(At(RegistryView::k64Bit, "\\Modules\\TovUSB", "DriverNameWin32").WriteString("TovaroCitrixVC.dll"));
    EXPECT_TRUE(KeyExists(KEY_WOW64_64KEY, "\\Modules\\TovUSB"));
    EXPECT_FALSE(KeyExists(KEY_WOW64_32KEY, "\\Modules"));

    ASSERT_TRUE(At(RegistryView::k32Bit, "\\Modules\\TovUSB", "Other").WriteString("32"));
    std::vector<std::string> names;
    ASSERT_TRUE(At(RegistryView::k64Bit, "\\Modules\\TovUSB", "").GetValueNames(names));
    EXPECT_EQ(std::vector<std::string>{"DriverNameWin32"}, names);
    EXPECT_FALSE(At(RegistryView::k64Bit, "\\Modules\\TovUSB", "Other").DeleteValue());
    EXPECT_EQ("32", Direct(KEY_WOW64_32KEY, "\\Modules\\TovUSB", "Other"));

    // Deleting the key in one view leaves the other view's key of the same path.
    EXPECT_TRUE(At(RegistryView::k64Bit, "\\Modules\\TovUSB", "").DeleteKey());
    EXPECT_FALSE(KeyExists(KEY_WOW64_64KEY, "\\Modules\\TovUSB"));
    EXPECT_TRUE(KeyExists(KEY_WOW64_32KEY, "\\Modules\\TovUSB"));
    EXPECT_FALSE(At(RegistryView::k64Bit, "\\Modules\\TovUSB", "").DeleteKey());
    EXPECT_TRUE(At(RegistryView::k32Bit, "\\Modules\\TovUSB", "").DeleteKey());
    EXPECT_FALSE(KeyExists(KEY_WOW64_32KEY, "\\Modules\\TovUSB"));
}

}  // namespace
