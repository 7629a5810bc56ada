#include "IcaClientFolders.h"
#include "UserClientFiles.h"

namespace devicecheck {

UserClientFiles FindUserClientFiles(const std::string& home, const std::string& icaRoot) {
    const IcaClientFolders folders = FindIcaClientFolders(home, icaRoot);
    UserClientFiles files;
    if (!folders.traceFolder.empty()) files.traceLog = folders.traceFolder + "/CitrixClient.log";
    files.buttonMapFolders = folders.buttonMapFolders;
    return files;
}

}  // namespace devicecheck
