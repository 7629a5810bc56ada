// The file operations of the Linux setup: bounded reads of regular files, and replacements by a
// temporary file in the same folder renamed over the old one, so a reader (or a running ICA Client
// that mapped the old driver) sees either the old or the new file, never a half-written one.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

namespace linuxsetup {

struct FileOwner {
    bool exists = false;
    mode_t mode = 0644;  // permission bits
    uid_t uid = 0;
    gid_t gid = 0;
};

// The path with every symbolic link resolved (the file itself must exist), so that a replacement
// goes to the link's target and leaves the link as it is. False with a reason otherwise.
bool ResolveExisting(const std::string& path, std::string& resolved, std::string& why);

// Reads a regular file of at most maxBytes (a FIFO or device is refused without being opened for
// long: it is opened non-blocking and checked first). Also gives its owner and mode.
bool ReadRegularFile(const std::string& path, size_t maxBytes, std::string& bytes, FileOwner& owner,
                     std::string& why);

// Writes the bytes to a new file beside `path` and renames it over `path`, with the given owner and
// mode. Nothing is left behind on failure.
bool ReplaceFile(const std::string& path, const std::string& bytes, const FileOwner& owner, std::string& why);

// The owner of a file that did not exist before: this process, with the given mode.
FileOwner NewFileOwner(mode_t mode);

// Removes a file. False with a reason when it exists and cannot be removed.
bool RemoveFile(const std::string& path, std::string& why);

// Whether anything (a file, a folder, a dangling link) exists at the path.
bool PathExists(const std::string& path);
// Creates the folder and its parents (mode 0755) where missing.
bool MakeFolders(const std::string& path, std::string& why);

// The folder of the running program, without a final slash: from /proc/self/exe, or where /proc is
// not mounted (a package's scripts in a fresh chroot) from the path it was started by.
std::string ProgramFolderPath(const char* argv0);

}  // namespace linuxsetup
