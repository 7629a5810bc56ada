// The process's current folder, as the platform names it.
#pragma once

#include <string>

namespace devicecheck {
// "" when it cannot be read.
std::string CurrentFolder();
}  // namespace devicecheck
