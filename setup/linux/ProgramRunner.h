// Runs another program (udevadm) and waits for it.
#pragma once

#include <string>
#include <vector>

namespace linuxsetup {

struct ProgramResult {
    bool started = false;  // false: not found on PATH (or could not be started)
    int exitCode = -1;     // its exit code; -1 when it was killed by a signal
};

// Looks the program up on PATH (and in /usr/sbin, /sbin, /usr/bin, /bin after it); its output
// goes where ours goes.
ProgramResult RunProgram(const std::vector<std::string>& arguments);

}  // namespace linuxsetup
