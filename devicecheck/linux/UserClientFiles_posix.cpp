#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

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

std::string UserHomeFolder() {
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return home;
    std::vector<char> buffer(16384);
    passwd entry;
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir) {
        return found->pw_dir;
    }
    return std::string();
}

}  // namespace devicecheck
