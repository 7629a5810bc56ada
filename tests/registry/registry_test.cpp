#include "Registry.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Every test works below a key of its own, removed before and after the test.
class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        base = "Software\\TovUSBTests\\" + std::to_string(GetCurrentProcessId()) + "\\" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
        RegDeleteTreeA(HKEY_CURRENT_USER, base.c_str());
    }
    void TearDown() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, base.c_str());
        const std::string parent = "Software\\TovUSBTests\\" + std::to_string(GetCurrentProcessId());
        RegDeleteKeyA(HKEY_CURRENT_USER, parent.c_str());  // only when empty
        // "Software\TovUSBTests" stays: the test cases run in processes of their own at the same
        // time, and deleting it while another creates its key below would make that creation fail.
    }

    CRegistry At(const std::string& subKey, const std::string& value) const {
        return CRegistry(kRegistryCurrentUser, CFileName(base + subKey, FileNameSyntax::Windows()), value);
    }

    // Writes a value directly, with any type and bytes.
    void Raw(const std::string& subKey, const std::string& value, DWORD type, const std::string& bytes) {
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, (base + subKey).c_str(), 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, &key, nullptr));
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, value.c_str(), 0, type,
                                                reinterpret_cast<const BYTE*>(bytes.data()),
                                                static_cast<DWORD>(bytes.size())));
        RegCloseKey(key);
    }

    // Reads a value directly: false when it is missing.
    bool Query(const std::string& subKey, const std::string& value, DWORD& type, std::string& bytes) {
        char data[256];
        DWORD length = sizeof data;
        if (RegGetValueA(HKEY_CURRENT_USER, (base + subKey).c_str(), value.c_str(), RRF_RT_ANY |
                         RRF_NOEXPAND, &type, data, &length) != ERROR_SUCCESS)
            return false;
        bytes.assign(data, length);
        return true;
    }

    bool KeyExists(const std::string& subKey) {
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, (base + subKey).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }

    std::string base;
};

TEST_F(RegistryTest, KeyPathIsUsedWithoutLeadingAndTrailingSeparators) {
    CRegistry registry(kRegistryCurrentUser,
                       CFileName("\\" + base + "\\Channel\\", FileNameSyntax::Windows()), "DriverNameWin32");
    EXPECT_EQ(base + "\\Channel", registry.GetKeyPath());
    ASSERT_TRUE(registry.WriteString("TovaroCitrixVC.dll"));
    DWORD type = 0;
    std::string bytes;
    ASSERT_TRUE(Query("\\Channel", "DriverNameWin32", type, bytes));
    EXPECT_EQ(std::string("TovaroCitrixVC.dll", 19), bytes);
    std::string text;
    EXPECT_TRUE(registry.ReadString(text));
    EXPECT_EQ("TovaroCitrixVC.dll", text);
    EXPECT_EQ("Software\\Korvesta", CRegistry(kRegistryCurrentUser).GetKeyPath());
}

TEST_F(RegistryTest, EmptyOrSeparatorOnlyKeyPathsFailEveryOperation) {
    const std::string valueName = "TovUSBRootProbe" + std::to_string(GetCurrentProcessId());
    for (const char* path : {"", "\\", "\\\\", "\\\\\\", "\\\\\\\\"}) {
        SCOPED_TRACE(path);
        CRegistry registry(kRegistryCurrentUser, CFileName(path, FileNameSyntax::Windows()), valueName);
        EXPECT_EQ("", registry.GetKeyPath());
        std::string text;
        bool flag = false;
        uint32_t number = 0;
        std::vector<std::string> names;
        EXPECT_FALSE(registry.WriteString("x"));
        EXPECT_FALSE(registry.WriteBool(true));
        EXPECT_FALSE(registry.WriteDWORD(1));
        EXPECT_FALSE(registry.ReadString(text));
        EXPECT_FALSE(registry.ReadBool(flag));
        EXPECT_FALSE(registry.ReadDWORD(number));
        EXPECT_FALSE(registry.GetValueNames(names));
        EXPECT_FALSE(registry.DeleteValue());
        EXPECT_FALSE(registry.DeleteKey());
    }
    // Nothing reached the root key itself.
    EXPECT_NE(ERROR_SUCCESS, RegGetValueA(HKEY_CURRENT_USER, nullptr, valueName.c_str(), RRF_RT_ANY,
                                          nullptr, nullptr, nullptr));
}

TEST_F(RegistryTest, ReadFailsWhenEveryValueOfTheKeyIsEmpty) {
    Raw("\\Empty", "Blank", REG_SZ, "");
    Raw("\\Empty", "NoBytes", REG_BINARY, "");
    std::string text = "unchanged";
    EXPECT_FALSE(At("\\Empty", "Blank").ReadString(text));
    EXPECT_EQ("unchanged", text);
    // Missing values and keys fail as well.
    Raw("\\Full", "Present", REG_SZ, std::string("x\0", 2));
    EXPECT_FALSE(At("\\Full", "Absent").ReadString(text));
    EXPECT_FALSE(At("\\Missing", "Present").ReadString(text));
    EXPECT_FALSE(KeyExists("\\Missing"));  // reading never creates a key
}

TEST_F(RegistryTest, StringDataEndsAtTheFirstZeroOrAtItsEnd) {
    Raw("\\Strings", "Longest", REG_SZ, std::string("a much longer sibling value\0", 28));
    Raw("\\Strings", "Unterminated", REG_SZ, "abc");
    Raw("\\Strings", "Embedded", REG_SZ, std::string("ab\0cd", 5));
    Raw("\\Strings", "Binary", REG_BINARY, "bytes");
    std::string text;
    ASSERT_TRUE(At("\\Strings", "Unterminated").ReadString(text));
    EXPECT_EQ("abc", text);
    ASSERT_TRUE(At("\\Strings", "Embedded").ReadString(text));
    EXPECT_EQ("ab", text);
    ASSERT_TRUE(At("\\Strings", "Binary").ReadString(text));  // the type plays no part
    EXPECT_EQ("bytes", text);
}

TEST_F(RegistryTest, BoolIsTrueOnlyForTheTextTrueInAnyCase) {
    const char* const trueTexts[] = {"TRUE", "true", "TrUe"};
    const char* const falseTexts[] = {"1", "FALSE", "yes", "TRUE ", ""};
    for (const char* text : trueTexts) Raw("\\Flags", text, REG_SZ, std::string(text) + '\0');
    for (const char* text : falseTexts) Raw("\\Flags", text, REG_SZ, std::string(text) + '\0');
    for (const char* text : trueTexts) {
        bool value = false;
        EXPECT_TRUE(At("\\Flags", text).ReadBool(value)) << text;
        EXPECT_TRUE(value) << text;
    }
    for (const char* text : falseTexts) {
        bool value = true;
        EXPECT_TRUE(At("\\Flags", text).ReadBool(value)) << text;
        EXPECT_FALSE(value) << text;
    }

    ASSERT_TRUE(At("\\Written", "On").WriteBool(true));
    ASSERT_TRUE(At("\\Written", "Off").WriteBool(false));
    DWORD type = 0;
    std::string bytes;
    ASSERT_TRUE(Query("\\Written", "On", type, bytes));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(std::string("TRUE", 5), bytes);
    ASSERT_TRUE(Query("\\Written", "Off", type, bytes));
    EXPECT_EQ(std::string("FALSE", 6), bytes);
}

TEST_F(RegistryTest, DwordNeedsExactlyFourBytesOfAnyType) {
    Raw("\\Numbers", "FourByteString", REG_SZ, std::string("ab\0\0", 4));
    Raw("\\Numbers", "TwoBytes", REG_BINARY, std::string("\x01\x02", 2));
    Raw("\\Numbers", "EightBytes", REG_QWORD, std::string(8, '\x01'));
    uint32_t value = 7;
    ASSERT_TRUE(At("\\Numbers", "FourByteString").ReadDWORD(value));
    EXPECT_EQ(0x6261u, value);
    value = 7;
    EXPECT_FALSE(At("\\Numbers", "TwoBytes").ReadDWORD(value));
    EXPECT_FALSE(At("\\Numbers", "EightBytes").ReadDWORD(value));
    EXPECT_EQ(7u, value);

    ASSERT_TRUE(At("\\Numbers", "Written").WriteDWORD(0xCAFE0102u));
    DWORD type = 0;
    std::string bytes;
    ASSERT_TRUE(Query("\\Numbers", "Written", type, bytes));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ(std::string("\x02\x01\xFE\xCA", 4), bytes);
    ASSERT_TRUE(At("\\Numbers", "Written").ReadDWORD(value));
    EXPECT_EQ(0xCAFE0102u, value);
}

TEST_F(RegistryTest, EmptyStringIsStoredAsOneZeroByte) {
    ASSERT_TRUE(At("\\Blank", "Value").WriteString(""));
    DWORD type = 0;
    std::string bytes;
    ASSERT_TRUE(Query("\\Blank", "Value", type, bytes));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(std::string(1, '\0'), bytes);
    std::string text = "x";
    ASSERT_TRUE(At("\\Blank", "Value").ReadString(text));
    EXPECT_EQ("", text);
}

TEST_F(RegistryTest, WritingCreatesMissingKeysWithTheirClass) {
    ASSERT_TRUE(At("\\One\\Two\\Three", "").WriteString("default"));
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, (base + "\\One\\Two\\Three").c_str(), 0,
                                           KEY_READ, &key));
    char keyClass[32] = {};
    DWORD classLength = sizeof keyClass;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryInfoKeyA(key, keyClass, &classLength, nullptr, nullptr, nullptr,
                                              nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
    RegCloseKey(key);
    EXPECT_STREQ("Hey!", keyClass);
    std::string text;
    ASSERT_TRUE(At("\\One\\Two\\Three", "").ReadString(text));  // the default value
    EXPECT_EQ("default", text);
}

TEST_F(RegistryTest, DeleteKeyRefusesMissingKeysAndKeysWithSubkeys) {
    EXPECT_FALSE(At("\\Nothing", "").DeleteKey());
    ASSERT_TRUE(At("\\Parent\\Child", "v").WriteString("x"));
    EXPECT_FALSE(At("\\Parent", "").DeleteKey());
    EXPECT_TRUE(KeyExists("\\Parent\\Child"));
    EXPECT_TRUE(At("\\Parent\\Child", "v").DeleteKey());
    EXPECT_FALSE(KeyExists("\\Parent\\Child"));
    EXPECT_TRUE(At("\\Parent\\", "").DeleteKey());
    EXPECT_FALSE(KeyExists("\\Parent"));
}

TEST_F(RegistryTest, ValueNamesAndDeletingValues) {
    Raw("\\List", "First", REG_SZ, std::string("1", 2));
    Raw("\\List", "Second", REG_DWORD, std::string(4, '\0'));
    Raw("\\List", "Third", REG_SZ, std::string("3", 2));
    std::vector<std::string> names = {"stale"};
    ASSERT_TRUE(At("\\List", "").GetValueNames(names));
    EXPECT_EQ((std::vector<std::string>{"First", "Second", "Third"}), names);

    EXPECT_TRUE(At("\\List", "Second").DeleteValue());
    EXPECT_FALSE(At("\\List", "Second").DeleteValue());
    ASSERT_TRUE(At("\\List", "").GetValueNames(names));
    EXPECT_EQ((std::vector<std::string>{"First", "Third"}), names);

    // Listing or deleting in a missing key opens it for writing, which creates it empty.
    ASSERT_TRUE(At("\\Fresh", "").GetValueNames(names));
    EXPECT_TRUE(names.empty());
    EXPECT_TRUE(KeyExists("\\Fresh"));
    EXPECT_FALSE(At("\\Fresher", "x").DeleteValue());
    EXPECT_TRUE(KeyExists("\\Fresher"));
}

TEST_F(RegistryTest, FileNamesAndDatesRoundTrip) {
    const CFileName folder("C:\\Program Files\\Citrix\\ICA Client\\", FileNameSyntax::Windows());
    ASSERT_TRUE(At("\\Typed", "Folder").WriteFileName(folder));
    CFileName read(FileNameSyntax::Windows());
    ASSERT_TRUE(At("\\Typed", "Folder").ReadFileName(read));
    EXPECT_EQ(folder.GetFullName(), read.GetFullName());
    EXPECT_EQ(folder.GetFolders(), read.GetFolders());

    CDateTime now = CDateTime::Now();
    ASSERT_TRUE(At("\\Typed", "When").WriteDateTime(now));
    std::string text;
    ASSERT_TRUE(At("\\Typed", "When").ReadString(text));
    EXPECT_EQ(now.ToString(), text);
    CDateTime back;
    ASSERT_TRUE(At("\\Typed", "When").ReadDateTime(back));
    EXPECT_EQ(now.ToString(), back.ToString());
    EXPECT_EQ(now.ticks, back.ticks);

    for (const char* bad : {"2014/02/30 10:00:00, 000ms", "2014/01/05 09:07:03", "tomorrow",
                            "2014/13/05 09:07:03, 042ms", "2014/01/05 09:07:03, 042ms extra"}) {
        ASSERT_TRUE(At("\\Typed", "Bad").WriteString(bad));
        EXPECT_FALSE(At("\\Typed", "Bad").ReadDateTime(back)) << bad;
    }
    ASSERT_TRUE(At("\\Typed", "Bad").WriteString("\\\\server"));  // not a path
    EXPECT_FALSE(At("\\Typed", "Bad").ReadFileName(read));
}

TEST_F(RegistryTest, RootNumbersSelectThePredefinedKeys) {
    // 1 is the current user (used above); 0 and every unknown number the local machine.
    const std::string machineKey = "SOFTWARE\\TovUSBTests\\" + std::to_string(GetCurrentProcessId());
    for (int32_t root : {0, 3, -1}) {
        CRegistry registry(root, CFileName(machineKey, FileNameSyntax::Windows()), "Probe");
        ASSERT_TRUE(registry.WriteString("machine"));
        char data[16];
        DWORD length = sizeof data;
        EXPECT_EQ(ERROR_SUCCESS, RegGetValueA(HKEY_LOCAL_MACHINE, machineKey.c_str(), "Probe",
                                              RRF_RT_REG_SZ, nullptr, data, &length)) << root;
        EXPECT_TRUE(registry.DeleteKey());
    }
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\TovUSBTests");
    CRegistry classes(kRegistryClassesRoot, CFileName(".tovusbtest", FileNameSyntax::Windows()), "");
    ASSERT_TRUE(classes.WriteString("TovUSB.Test"));
    std::string text;
    EXPECT_TRUE(classes.ReadString(text));
    EXPECT_EQ("TovUSB.Test", text);
    EXPECT_TRUE(classes.DeleteKey());
}

}  // namespace
