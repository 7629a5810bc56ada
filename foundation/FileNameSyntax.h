// The separator characters a path is written with.
#pragma once

#include <string>

struct FileNameSyntax {
    std::string separator;
    std::string extensionSeparator;
    std::string driveSeparator;   // empty: the syntax has no drives
    std::string networkPrefix;    // empty: the syntax has no network paths
    std::string parentFolder;
    std::string currentFolder;

    // "\", ".", ":", "\\", "..", ".": the syntax of every Windows path and registry key path.
    static FileNameSyntax Windows();
    // "/", ".", no drives, no network prefix, "..", ".": paths of the native (POSIX) build.
    static FileNameSyntax Posix();
    // The syntax of the platform the program runs on: Windows on Windows, Posix otherwise.
    static FileNameSyntax Native();
};
