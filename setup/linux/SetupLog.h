// The numbered log of the Linux setup: "<number>.\t<text>" per step, as the Windows setup's log,
// on standard output (unless quiet) and appended to the log file when one was given. Error lines
// also go to standard error when quiet, so a package manager's output still shows why.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace linuxsetup {

class SetupLog {
public:
    SetupLog(bool quiet, std::FILE* file) : quiet(quiet), file(file) {}
    void Line(const std::string& text);
    // A line starting with "ERROR: ".
    void Error(const std::string& text);
    bool HadError() const { return errors > 0; }
    const std::vector<std::string>& Lines() const { return lines; }

private:
    bool quiet;
    std::FILE* file;
    int number = 0;
    int errors = 0;
    std::vector<std::string> lines;
};

}  // namespace linuxsetup
