// The files of the user's ICA Client session that the driver uses: its trace log and the folders
// where it looks for HardwareButtonMap.ini ($HOME/.ICAClient, then the folder of VDTOVUSB.DLL,
// which is $ICAROOT once installed). The device check looks at the same places.
#pragma once

#include <string>
#include <vector>

namespace devicecheck {

struct UserClientFiles {
    std::string traceLog;                       // "$HOME/.ICAClient/CitrixClient.log"; "" without a home
    std::vector<std::string> buttonMapFolders;  // in lookup order
};

// home may be empty (no home folder); icaRoot is the ICA Client's folder.
UserClientFiles FindUserClientFiles(const std::string& home, const std::string& icaRoot);

}  // namespace devicecheck
