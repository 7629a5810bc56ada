#include "NodeAccess.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace devicecheck {

std::map<std::string, std::string> NodesThisUserCannotOpen(const std::list<USBButtonDeviceDescriptor>& devices) {
    std::map<std::string, std::string> refused;
    for (const USBButtonDeviceDescriptor& device : devices) {
        const std::string& path = device.hidInfo.devicePath;
        // access() checks the real user, who is the session's user for this program (it is not
        // set-user-id), without opening the node: opening a hand-set here would race the driver.
        if (access(path.c_str(), R_OK | W_OK) == 0) continue;
        const int error = errno;
        if (error == EACCES || error == EPERM) refused[path] = std::strerror(error);
    }
    return refused;
}

}  // namespace devicecheck
