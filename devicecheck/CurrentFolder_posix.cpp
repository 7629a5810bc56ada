#include <unistd.h>

#include <climits>
#include <vector>

#include "CurrentFolder.h"

namespace devicecheck {

std::string CurrentFolder() {
    std::vector<char> buffer(PATH_MAX + 1, '\0');
    if (!getcwd(buffer.data(), buffer.size())) return std::string();
    return std::string(buffer.data());
}

}  // namespace devicecheck
