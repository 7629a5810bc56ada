// Helpers of the Linux setup tests: a throw-away folder with an ICA Client in it, files read and
// written as bytes, and tovusb-setup run as a program with its output and exit code.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace setuptest {

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
std::string Fixture(const std::string& name);  // a file of tests/linux_setup/fixtures
// LF line ends turned into CR LF.
std::string WithCRLF(const std::string& text);

struct RunResult {
    int exitCode = -1;
    std::string out;  // standard output
    std::string err;  // standard error
};

// A temporary folder: <dir>/bin holds tovusb-setup and the stand-in driver as VDTOVUSB.DLL,
// <dir>/ica is the ICA Client's folder (with config/), <dir>/root the system for /etc.
class SetupSandbox {
public:
    SetupSandbox();
    ~SetupSandbox();
    SetupSandbox(const SetupSandbox&) = delete;
    SetupSandbox& operator=(const SetupSandbox&) = delete;

    const std::string& Dir() const { return dir; }
    std::string Ica() const { return dir + "/ica"; }
    std::string ModuleIni() const { return dir + "/ica/config/module.ini"; }
    std::string UsbConf() const { return dir + "/ica/usb.conf"; }
    std::string InstalledDriver() const { return dir + "/ica/VDTOVUSB.DLL"; }
    std::string Rules() const { return dir + "/root/etc/udev/rules.d/70-tovusb.rules"; }
    std::string Tool() const { return dir + "/bin/tovusb-setup"; }
    std::string Driver() const { return dir + "/bin/VDTOVUSB.DLL"; }

    // tovusb-setup COMMAND --icaroot <ica> --root <root> EXTRA...; as another user when uid >= 0.
    RunResult Run(const std::string& command, const std::vector<std::string>& extra = {}, int uid = -1) const;
    // Any program with these arguments.
    static RunResult RunProgram(const std::vector<std::string>& arguments, int uid = -1);

private:
    std::string dir;
};

// The numbered lines of an output ("1.\t..." gives "..."), in order; fails the test on a line
// that is not numbered one more than the line before.
std::vector<std::string> NumberedLines(const std::string& out);

}  // namespace setuptest
