#include "SetupLog.h"

namespace linuxsetup {

void SetupLog::Line(const std::string& text) {
    ++number;
    const std::string line = std::to_string(number) + ".\t" + text + "\n";
    lines.push_back(text);
    if (!quiet) {
        std::fputs(line.c_str(), stdout);
        std::fflush(stdout);
    }
    if (file) {
        std::fputs(line.c_str(), file);
        std::fflush(file);
    }
}

void SetupLog::Error(const std::string& text) {
    ++errors;
    Line("ERROR: " + text);
    if (quiet) std::fprintf(stderr, "tovusb-setup: ERROR: %s\n", text.c_str());
}

}  // namespace linuxsetup
