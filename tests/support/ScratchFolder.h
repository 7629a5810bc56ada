// A fresh folder under /tmp for one test (POSIX), removed with everything in it afterwards.
#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <string>

class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& prefix) {
        std::string pattern = "/tmp/" + prefix + "-XXXXXX";
        if (mkdtemp(&pattern[0])) path = pattern;
    }
    ~ScratchFolder() {
        if (!path.empty()) std::system(("rm -rf '" + path + "'").c_str());
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    bool Made() const { return !path.empty(); }
    const std::string& Path() const { return path; }
    // Makes a folder (and its parents) below this one.
    bool MakeFolder(const std::string& relative) const {
        return std::system(("mkdir -p '" + path + "/" + relative + "'").c_str()) == 0;
    }

private:
    std::string path;
};
