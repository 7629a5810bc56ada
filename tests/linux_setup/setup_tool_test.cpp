// tovusb-setup as a program against fixture ICA Client folders: the numbered steps, the exit
// codes, byte-exact files after install, a second install and uninstall, and files it must refuse
// without changing anything.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "SetupFixture.h"

using setuptest::Fixture;
using setuptest::NumberedLines;
using setuptest::ReadBytes;
using setuptest::RunResult;
using setuptest::SetupSandbox;
using setuptest::WriteBytes;

namespace {

struct stat Stat(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(lstat(path.c_str(), &info), 0) << path;
    return info;
}

bool Exists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

// The bytes of a regular file, "" for anything else (reading a FIFO would block).
std::string RegularBytes(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) ? ReadBytes(path) : "";
}

// Names of the files in a folder, to show that no temporary file was left.
std::string Listing(const std::string& folder) {
    return SetupSandbox::RunProgram({"ls", "-a", folder}).out;
}

constexpr int kNobody = 65534;

}  // namespace

TEST(SetupTool, InstallReinstallUninstallOnARealisticClient) {
    SetupSandbox box;
    const std::string ini = Fixture("module.ini"), usb = Fixture("usb.conf");
    WriteBytes(box.ModuleIni(), ini);
    WriteBytes(box.UsbConf(), usb);

    const RunResult install = box.Run("install");
    ASSERT_EQ(install.exitCode, 0) << install.out << install.err;
    const std::vector<std::string> lines = NumberedLines(install.out);
    ASSERT_EQ(lines.size(), 9u) << install.out;
    EXPECT_EQ(lines[0], "Citrix ICA Client found in " + box.Ica());
    EXPECT_EQ(lines[1], "Checked " + box.Driver() + ": an ELF shared object for x86-64");
    EXPECT_EQ(lines[3], "Successfully copied " + box.Driver() + " to " + box.InstalledDriver());
    EXPECT_EQ(lines[8], "TovUSB installation finished successfully");
    EXPECT_EQ(ReadBytes(box.ModuleIni()), Fixture("module-installed.ini"));
    EXPECT_EQ(ReadBytes(box.InstalledDriver()), ReadBytes(box.Driver()));
    EXPECT_EQ(ReadBytes(box.Rules()), ReadBytes(TOV_BUILT_RULES));
    const std::string withDeny = ReadBytes(box.UsbConf());
    EXPECT_NE(withDeny.find("(keyboards and mice)\n"), std::string::npos);
    EXPECT_EQ(withDeny.find("# Keep hubs, keyboards and mice local.\nDENY: vid=0911 pid=2512 # TovUSB: Philips SpeechMike I Pro\n"),
              usb.find("# Keep hubs"));
    EXPECT_NE(withDeny.find("pid=0025 # TovUSB: Grundig Digta SonicMic II Classic\nDENY: vid=1d6b # Linux"),
              std::string::npos);

    const RunResult status = box.Run("status");
    EXPECT_EQ(status.exitCode, 0) << status.out;
    EXPECT_EQ(NumberedLines(status.out).back(), "TovUSB is registered with the ICA Client");

    // A second install rewrites nothing of the configuration (the same files, not copies of them).
    const ino_t iniInode = Stat(box.ModuleIni()).st_ino, usbInode = Stat(box.UsbConf()).st_ino;
    const RunResult again = box.Run("install");
    ASSERT_EQ(again.exitCode, 0) << again.out;
    EXPECT_NE(again.out.find("already registers TovUSB; left unchanged"), std::string::npos);
    EXPECT_NE(again.out.find("already keeps the supported devices local; left unchanged"), std::string::npos);
    EXPECT_NE(again.out.find("are up to date"), std::string::npos);
    EXPECT_EQ(Stat(box.ModuleIni()).st_ino, iniInode);
    EXPECT_EQ(Stat(box.UsbConf()).st_ino, usbInode);

    const RunResult uninstall = box.Run("uninstall");
    ASSERT_EQ(uninstall.exitCode, 0) << uninstall.out;
    EXPECT_EQ(NumberedLines(uninstall.out).back(), "TovUSB uninstall finished successfully");
    EXPECT_EQ(ReadBytes(box.ModuleIni()), ini);
    EXPECT_EQ(ReadBytes(box.UsbConf()), usb);
    EXPECT_FALSE(Exists(box.InstalledDriver()));
    EXPECT_FALSE(Exists(box.Rules()));
    EXPECT_EQ(Listing(box.Ica() + "/config"), ".\n..\nmodule.ini\n");

    const RunResult after = box.Run("status");
    EXPECT_EQ(after.exitCode, 1);
    EXPECT_NE(after.out.find("NOT registered: VirtualDriver in [ICA 3.0]"), std::string::npos);
    // A second uninstall finds nothing to do and still succeeds (package removal relies on it).
    const RunResult twice = box.Run("uninstall");
    EXPECT_EQ(twice.exitCode, 0) << twice.out;
    EXPECT_EQ(ReadBytes(box.ModuleIni()), ini);
}

TEST(SetupTool, CRLFFileWithoutFinalLineEndAndWithoutUsbConf) {
    SetupSandbox box;
    std::string ini = setuptest::WithCRLF("[ICA 3.0]\nVirtualDriver = Thinwire3.0\nThinwire3.0 = On");
    WriteBytes(box.ModuleIni(), ini);
    const RunResult install = box.Run("install");
    ASSERT_EQ(install.exitCode, 0) << install.out;
    EXPECT_EQ(ReadBytes(box.ModuleIni()),
              "[ICA 3.0]\r\nVirtualDriver = Thinwire3.0, TovUSB\r\nThinwire3.0 = On\r\nTovUSB=On\r\n\r\n[TovUSB]\r\n"
              "DriverName=VDTOVUSB.DLL");
    EXPECT_NE(install.out.find("No " + box.UsbConf() + ": the ICA Client redirects no USB devices"), std::string::npos);
    EXPECT_FALSE(Exists(box.UsbConf()));
    ASSERT_EQ(box.Run("uninstall").exitCode, 0);
    EXPECT_EQ(ReadBytes(box.ModuleIni()), ini);
}

TEST(SetupTool, OwnerModeAndSymbolicLinkAreKept) {
    SetupSandbox box;
    ASSERT_EQ(geteuid(), 0u) << "the owner cases need root (CI runs as root)";
    // module.ini is a link into a folder of its own, as on thin clients that keep it on persistent storage.
    mkdir((box.Dir() + "/persistent").c_str(), 0755);
    const std::string target = box.Dir() + "/persistent/module.ini";
    WriteBytes(target, Fixture("module.ini"));
    ASSERT_EQ(chown(target.c_str(), 1234, 5678), 0);
    ASSERT_EQ(chmod(target.c_str(), 0440), 0);  // read-only: replaced all the same, and read-only again
    ASSERT_EQ(symlink("../../persistent/module.ini", box.ModuleIni().c_str()), 0);

    const RunResult install = box.Run("install");
    ASSERT_EQ(install.exitCode, 0) << install.out;
    EXPECT_TRUE(S_ISLNK(Stat(box.ModuleIni()).st_mode));
    EXPECT_EQ(ReadBytes(target), Fixture("module-installed.ini"));
    const struct stat info = Stat(target);
    EXPECT_EQ(info.st_uid, 1234u);
    EXPECT_EQ(info.st_gid, 5678u);
    EXPECT_EQ(info.st_mode & 07777, 0440u);
    EXPECT_EQ(Listing(box.Dir() + "/persistent"), ".\n..\nmodule.ini\n");
    EXPECT_EQ(Stat(box.InstalledDriver()).st_mode & 07777, 0644u);

    ASSERT_EQ(box.Run("uninstall").exitCode, 0);
    EXPECT_TRUE(S_ISLNK(Stat(box.ModuleIni()).st_mode));
    EXPECT_EQ(ReadBytes(target), Fixture("module.ini"));
    EXPECT_EQ(Stat(target).st_uid, 1234u);
}

TEST(SetupTool, FilesItCannotEditChangeNothing) {
    struct Case {
        const char* what;
        std::function<void(const SetupSandbox&)> make;
        const char* error;
    };
    const std::vector<Case> cases = {
        {"no [ICA 3.0]",
         [](const SetupSandbox& b) { WriteBytes(b.ModuleIni(), "[Thinwire3.0]\nDriverName = VDTW30.DLL\n"); },
         "ERROR: Could not register TovUSB in %ini: it has no [ICA 3.0] section"},
        {"over the bound",
         [](const SetupSandbox& b) {
             WriteBytes(b.ModuleIni(), "[ICA 3.0]\nVirtualDriver = A\n;" + std::string(1024 * 1024, 'x') + "\n");
         },
         "ERROR: Could not read %ini: it is larger than 1048576 bytes"},
        {"a folder", [](const SetupSandbox& b) { mkdir(b.ModuleIni().c_str(), 0755); },
         "ERROR: Could not read %ini: it is not a regular file"},
        {"a FIFO", [](const SetupSandbox& b) { mkfifo(b.ModuleIni().c_str(), 0644); },
         "ERROR: Could not read %ini: it is not a regular file"},
        {"a dangling link", [](const SetupSandbox& b) { (void)!symlink("nowhere.ini", b.ModuleIni().c_str()); },
         "ERROR: Could not read %ini: No such file or directory"},
        {"a driver of the wrong kind",
         [](const SetupSandbox& b) {
             WriteBytes(b.ModuleIni(), Fixture("module.ini"));
             WriteBytes(b.Driver(), ReadBytes(TOV_SETUP_TOOL));
         },
         "ERROR: The driver %driver is an ELF program, not a shared object"},
        {"no driver",
         [](const SetupSandbox& b) {
             WriteBytes(b.ModuleIni(), Fixture("module.ini"));
             unlink(b.Driver().c_str());
         },
         "ERROR: The driver %driver does not exist"},
    };
    for (const Case& c : cases) {
        SetupSandbox box;
        c.make(box);
        const std::string before = Exists(box.ModuleIni()) ? Listing(box.Ica() + "/config") : "";
        const std::string bytes = RegularBytes(box.ModuleIni());
        const RunResult install = box.Run("install");
        EXPECT_EQ(install.exitCode, 1) << c.what << "\n" << install.out;
        std::string error = c.error;
        for (const auto& [mark, value] : {std::pair<std::string, std::string>{"%ini", box.ModuleIni()},
                                          {"%driver", box.Driver()}}) {
            const size_t at = error.find(mark);
            if (at != std::string::npos) error.replace(at, mark.size(), value);
        }
        const std::vector<std::string> lines = NumberedLines(install.out);
        ASSERT_FALSE(lines.empty()) << c.what;
        EXPECT_EQ(lines.back(), error) << c.what;
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l.rfind("ERROR", 0) == 0; }),
                  1) << c.what;
        EXPECT_EQ(RegularBytes(box.ModuleIni()), bytes) << c.what;
        EXPECT_EQ(Listing(box.Ica() + "/config"), before) << c.what;
        EXPECT_FALSE(Exists(box.InstalledDriver())) << c.what;
        EXPECT_FALSE(Exists(box.Rules())) << c.what;
    }
}

TEST(SetupTool, UnreadableFileAndUnwritableFolderAsAnotherUser) {
    ASSERT_EQ(geteuid(), 0u) << "running the tool as another user needs root (CI runs as root)";
    {
        SetupSandbox box;
        WriteBytes(box.ModuleIni(), Fixture("module.ini"));
        chmod(box.ModuleIni().c_str(), 0600);
        const RunResult install = box.Run("install", {}, kNobody);
        EXPECT_EQ(install.exitCode, 1) << install.out << install.err;
        EXPECT_EQ(NumberedLines(install.out).back(), "ERROR: Could not read " + box.ModuleIni() + ": Permission denied");
        EXPECT_FALSE(Exists(box.InstalledDriver()));
    }
    {
        // Readable, but its folder takes no new file: the temporary file cannot be made, nothing changes.
        SetupSandbox box;
        WriteBytes(box.ModuleIni(), Fixture("module.ini"));
        chmod(box.ModuleIni().c_str(), 0666);
        chown(box.Ica().c_str(), kNobody, kNobody);  // the driver may be copied, the config folder is root's
        const RunResult install = box.Run("install", {}, kNobody);
        EXPECT_EQ(install.exitCode, 1) << install.out;
        const std::vector<std::string> lines = NumberedLines(install.out);
        EXPECT_EQ(lines.back().rfind("ERROR: Could not write " + box.ModuleIni() +
                                         ": cannot create a temporary file in " + box.Ica() + "/config: Permission denied",
                                     0),
                  0u)
            << install.out;
        EXPECT_EQ(ReadBytes(box.ModuleIni()), Fixture("module.ini"));
        EXPECT_EQ(Listing(box.Ica() + "/config"), ".\n..\nmodule.ini\n");
    }
}

TEST(SetupTool, GroupRulesQuietLogAndExitCodes) {
    SetupSandbox box;
    WriteBytes(box.ModuleIni(), Fixture("module.ini"));
    const std::string log = box.Dir() + "/setup.log";
    const RunResult install = box.Run("install", {"--group", "dictation", "--quiet", "--log", log});
    EXPECT_EQ(install.exitCode, 0) << install.err;
    EXPECT_EQ(install.out, "");
    const std::vector<std::string> logged = NumberedLines(ReadBytes(log));
    ASSERT_FALSE(logged.empty());
    EXPECT_EQ(logged.back(), "TovUSB installation finished successfully");
    EXPECT_NE(ReadBytes(box.Rules()).find("TAG+=\"uaccess\", GROUP=\"dictation\", MODE=\"0660\"\n"), std::string::npos);
    const RunResult status = box.Run("status");
    EXPECT_NE(status.out.find("give access to the seat's user and group dictation"), std::string::npos) << status.out;

    EXPECT_EQ(box.Run("install", {"--group", "a\"b"}).exitCode, 2);
    EXPECT_EQ(box.Run("reinstall").exitCode, 2);
    EXPECT_EQ(box.Run("install", {"--icaroot"}).exitCode, 2);
    EXPECT_EQ(box.Run("install", {"--bogus"}).exitCode, 2);
    EXPECT_EQ(box.Run("install", {"--log", box.Dir() + "/no/such/folder/log"}).exitCode, 2);
    EXPECT_EQ(SetupSandbox::RunProgram({box.Tool()}).exitCode, 2);
    EXPECT_EQ(SetupSandbox::RunProgram({box.Tool(), "--help"}).exitCode, 0);

    const RunResult none = SetupSandbox::RunProgram({box.Tool(), "install", "--icaroot=" + box.Dir() + "/nothing"});
    EXPECT_EQ(none.exitCode, 3);
    EXPECT_EQ(NumberedLines(none.out).back(),
              "ERROR: No Citrix ICA Client found in " + box.Dir() + "/nothing (no " + box.Dir() +
                  "/nothing/config/module.ini)");
    EXPECT_EQ(SetupSandbox::RunProgram({box.Tool(), "status", "--icaroot=" + box.Dir() + "/nothing"}).exitCode, 3);
}
