// The registration status of the device check for a PC without an ICA Client, with the 32-bit one
// registered, and with a 64-bit one whose registration is incomplete. The keys are written in each
// client's own registry view, as its installer leaves them.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "DeviceCheckProgram.h"
#include "TestFolder.h"

namespace devicechecktest {
namespace {

constexpr int kRegistration = 1030;
const char kSimCaption[] = "TovaroCitrixVCDeviceCheck (simulated devices)";
const char kModules[] = "SOFTWARE\\Citrix\\ICA Client\\Engine\\Configuration\\Advanced\\Modules\\";

void SetValue(REGSAM view, const std::string& key, const char* name, const std::string& value) {
    HKEY handle = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_WRITE | view, nullptr,
                                             &handle, nullptr));
    RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(handle);
}

void RemoveCitrixKeys() {
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
        HKEY software = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_ALL_ACCESS | view, &software) != ERROR_SUCCESS)
            continue;
        RegDeleteTreeA(software, "Citrix");
        RegCloseKey(software);
    }
}

// The first bytes of a PE image: a DLL for `machine` with the matching optional header format.
std::string DllHeader(WORD machine) {
    std::string image(0x100, '\0');
    image[0] = 'M', image[1] = 'Z';
    image[0x3C] = 0x40;
    image.replace(0x40, 4, std::string("PE\0\0", 4));
    auto put16 = [&](size_t at, WORD value) {
        image[at] = static_cast<char>(value & 0xFF);
        image[at + 1] = static_cast<char>(value >> 8);
    };
    put16(0x44, machine);
    put16(0x54, machine == 0x8664 ? 0xF0 : 0xE0);  // size of the optional header
    put16(0x56, 0x2102);                          // executable, 32-bit word machine or not, DLL
    put16(0x58, machine == 0x8664 ? 0x20B : 0x10B);
    return image;
}

class RegistrationDialogTest : public ::testing::Test {
protected:
    void SetUp() override { RemoveCitrixKeys(); }
    void TearDown() override { RemoveCitrixKeys(); }
    // An installed client: its folder under the test folder and its "InstallFolder".
    std::string InstallClient(REGSAM view, const std::string& name) {
        const std::string folder = clients.path + name + "\\";
        CreateDirectoryA(folder.c_str(), nullptr);
        SetValue(view, "SOFTWARE\\Citrix\\Install\\ICA Client", "InstallFolder", folder);
        return folder;
    }
    std::string Registration() {
        DeviceCheckProgram program(TOV_DEVICECHECK_SIM_PATH, programFolder.path, kSimCaption);
        return program.dialog ? program.Text(kRegistration) : std::string("(no dialog)");
    }
    TestFolder clients, programFolder;
};

TEST_F(RegistrationDialogTest, NoClientOneRegisteredClientAndAnIncompleteOne) {
    EXPECT_EQ("No ICA Client is installed", Registration());

    // The 32-bit client with all three pieces and an i386 DLL.
    const std::string folder32 = InstallClient(KEY_WOW64_32KEY, "ICA32");
    SetValue(KEY_WOW64_32KEY, std::string(kModules) + "TovUSB", "DriverNameWin32", "TovaroCitrixVC.dll");
    SetValue(KEY_WOW64_32KEY, std::string(kModules) + "ICA 3.0", "VirtualDriverEx", "Thinwire3.0, TovUSB");
    clients.Write("ICA32\\TovaroCitrixVC.dll", DllHeader(0x014C));
    EXPECT_EQ("32-bit ICA Client in " + folder32 + ": channel TovUSB registered\r\n" +
                  "  module key TovUSB: present\r\n" + "  VirtualDriverEx entry TovUSB: present\r\n" + "  driver " +
                  folder32 + "TovaroCitrixVC.dll: present, a 32-bit (i386) DLL",
              Registration());

    // A 64-bit client beside it: another driver's "TovUSB2" in its list and the 32-bit DLL in its
    // folder, so it is only partly registered although a module key exists.
    const std::string folder64 = InstallClient(KEY_WOW64_64KEY, "ICA64");
    SetValue(KEY_WOW64_64KEY, std::string(kModules) + "TovUSB", "DriverNameWin32", "TovaroCitrixVC.dll");
    SetValue(KEY_WOW64_64KEY, std::string(kModules) + "ICA 3.0", "VirtualDriverEx", "TovUSB2");
    clients.Write("ICA64\\TovaroCitrixVC.dll", DllHeader(0x014C));
    const std::string both = Registration();
    EXPECT_NE(std::string::npos, both.find("32-bit ICA Client in " + folder32 + ": channel TovUSB registered\r\n"))
        << both;
    EXPECT_NE(std::string::npos, both.find("64-bit ICA Client in " + folder64 + ": channel TovUSB partly registered\r\n" +
                                           "  module key TovUSB: present\r\n" +
                                           "  VirtualDriverEx entry TovUSB: missing\r\n" + "  driver " + folder64 +
                                           "TovaroCitrixVC.dll: present, but not a 64-bit (x86-64) DLL"))
        << both;
    EXPECT_LT(both.find("32-bit"), both.find("64-bit"));
}

}  // namespace
}  // namespace devicechecktest
