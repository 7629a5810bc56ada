// Registers the TovUSB channel driver with the Citrix ICA Client on this PC, and removes it.
//
// An installation is three things: the channel's module key naming the driver file, the
// channel's entry in the ICA Client's "VirtualDriverEx" list, and the driver file copied from the
// setup program's folder into the ICA Client's folder. All keys are under HKEY_LOCAL_MACHINE in the
// program's own registry view (the 32-bit one on 64-bit Windows).
//
// The queries write nothing; the two procedures write every step, and the first failure, to the
// log and stop there, leaving the steps already done in place. Everything runs on the caller's
// thread (the dialog's only thread).
#pragma once

#include <functional>
#include <string>

#include "FileName.h"
#include "InstallerLog.h"

class CChannelInstaller {
public:
    // Finds the folder the driver file is copied from: the folder of the running setup program.
    using ProgramFolderLookup = std::function<bool(CFileName&)>;

    CChannelInstaller();  // uses GetProgramFolder
    explicit CChannelInstaller(ProgramFolderLookup programFolder);

    // The ICA Client's "InstallFolder" value, or "" when it cannot be read.
    std::string GetICAClientFolder() const;
    bool IsICAClientInstalled() const;
    // True when the channel module key's "DriverNameWin32" value can be read (whatever it holds).
    bool IsChannelInstalled() const;
    // The program's folder followed by "TovaroCitrixVC.dll". Throws the int 1 when the program's
    // folder cannot be determined.
    std::string GetDriverSourcePath() const;
    // True when the driver source path names an existing file (not a folder); false also when the
    // program's folder cannot be determined.
    bool DriverSourceExists() const;
    // The ICA Client folder followed by "TovaroCitrixVC.dll", with a separator between them when
    // the folder value does not end with one. "" when the ICA Client is not installed.
    std::string GetDriverTargetPath() const;

    void OnInstall(CInstallerLogInterface& log) const;
    void OnUninstall(CInstallerLogInterface& log) const;

private:
    ProgramFolderLookup programFolder;
};
