#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "IcaClientFolders.h"

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
