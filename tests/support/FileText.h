// The whole text of a file ("" when it cannot be read), for tests that check what was written.
#pragma once

#include <fstream>
#include <sstream>
#include <string>

inline std::string ReadFileText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}
