// The heal task and the heal's log, through the real program: /registertask refuses a program
// that someone other than an administrator can replace, and a heal that keeps failing does not
// grow the setup log without bound.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <string>

#include "setup_program.h"
#include "setup_sandbox.h"

namespace setuptest {
namespace {

// The Task Scheduler's store of the one task it would hold (not the 32-bit programs' redirected
// system folder).
std::string HealTaskFile() {
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, MAX_PATH);
    return std::string(windows) + (sizeof(void*) == 4 ? "\\Sysnative" : "\\System32") + "\\Tasks\\TovUSB Heal";
}

// Replaces the folder's permissions with those of the security descriptor text. Wine keeps what
// it can of them as the folder's Unix mode: a grant to Everyone as the bits of "others".
bool SetFolderPermissions(const std::string& folder, const char* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, nullptr)) return false;
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
    const DWORD result = SetNamedSecurityInfoA(const_cast<char*>(folder.c_str()), SE_FILE_OBJECT,
                                               DACL_SECURITY_INFORMATION, nullptr, nullptr, dacl, nullptr);
    LocalFree(descriptor);
    return result == ERROR_SUCCESS;
}

class HealTaskTest : public SetupSandbox {
protected:
    std::string Log(const char* name) const {
        std::string content;
        ReadFile(root + name, content);
        return content;
    }
    DWORD Quiet(const char* action, const char* logName) {
        return RunSetupProgram(programFolder, std::string(action) + " /quiet /log \"" + root + logName + "\"");
    }
};

TEST_F(HealTaskTest, RegisterTaskIsRefusedForAProgramInAFolderEveryoneCanWriteAndRegistersNothing) {
    // Wine starts its Task Scheduler only on request ("already started" is fine too).
    RunProgram("C:\\windows\\system32\\net.exe", "start schedule", root);
    ASSERT_FALSE(FileExists(HealTaskFile())) << "a TovUSB task is registered before the test";
    const std::string folder = programFolder.substr(0, programFolder.size() - 1);
    ASSERT_TRUE(SetFolderPermissions(folder, "D:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1301bf;;;WD)"));

    EXPECT_EQ(4u, Quiet("/registertask", "task.log"));
    EXPECT_EQ("1.\tERROR: The scheduled task TovUSB Heal was not registered: Everyone (S-1-1-0) can add files to " +
                  folder + ", and the task would run that account's code as the local system account\r\n",
              Log("task.log"));
    EXPECT_FALSE(FileExists(programFolder + "TovUSB-HealTask.xml"));
    EXPECT_FALSE(FileExists(HealTaskFile()));

    // The same folder with everyone's write taken away: registered, and removed again.
    ASSERT_TRUE(SetFolderPermissions(folder, "D:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;WD)"));
    EXPECT_EQ(0u, Quiet("/registertask", "task2.log")) << Log("task2.log");
    EXPECT_TRUE(FileExists(HealTaskFile()));
    EXPECT_EQ(0u, Quiet("/unregistertask", "task2.log")) << Log("task2.log");
    EXPECT_FALSE(FileExists(HealTaskFile()));
}

TEST_F(HealTaskTest, AHealThatKeepsFailingWritesItsLinesOnceADayAndTheLogKeepsUnderItsBound) {
    // A client the heal cannot register: the driver is not beside the program.
    InstallICAClient("Alpha");
    const std::string line(99, 'x');
    std::string old;
    for (int i = 0; i < 15000; ++i) old += line + "\r\n";  // 1.5 MB of older lines
    WriteFile(root + "heal.log", old);

    EXPECT_EQ(1u, Quiet("/heal", "heal.log"));
    const std::string once = Log("heal.log");
    EXPECT_LE(once.size(), 1024u * 1024u);
    EXPECT_EQ(0u, once.find(line + "\r\n")) << "the log does not start at a whole line";
    const std::string lines = "1.\tCitrix virtual channel is not wholly registered; registering it\r\n"
                              "2.\tError: Citrix client DLL does not exist\r\n";
    ASSERT_GE(once.size(), lines.size());
    EXPECT_EQ(lines, once.substr(once.size() - lines.size()));

    EXPECT_EQ(1u, Quiet("/heal", "heal.log"));
    EXPECT_TRUE(once == Log("heal.log")) << "the same failure was written twice on one day";
    // Once the heal succeeds, a failure is new again and written.
    PutDriverBesideProgram();
    EXPECT_EQ(0u, Quiet("/heal", "heal.log"));
    ASSERT_TRUE(DeleteFileA(driverSource().c_str()));
    ASSERT_TRUE(DeleteFileA(driverTarget().c_str()));
    EXPECT_EQ(1u, Quiet("/heal", "heal.log"));
    const std::string last = Log("heal.log");
    ASSERT_GE(last.size(), lines.size());
    EXPECT_EQ(lines, last.substr(last.size() - lines.size()));
}

}  // namespace
}  // namespace setuptest
