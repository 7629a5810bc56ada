// Where the shipping Linux driver keeps its trace log and looks for HardwareButtonMap.ini.
#pragma once

#include <string>
#include <vector>

struct IcaClientFolders {
    std::string traceFolder;                    // "$HOME/.ICAClient"; empty without a home folder
    std::vector<std::string> buttonMapFolders;  // "$HOME/.ICAClient", then the driver's own folder
};

// home: the user's home folder (may be empty); moduleFolder: the folder of VDTOVUSB.DLL (may be
// empty when unknown).
IcaClientFolders FindIcaClientFolders(const std::string& home, const std::string& moduleFolder);

// $HOME when it is an absolute path, else the account's home folder (a service started without
// HOME), else "".
std::string UserHomeFolder();
