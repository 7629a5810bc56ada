// Holds a file in a helper process (dll_holder) for the length of a scope, as a running ICA Client
// holds the driver it loaded: the constructor returns once the file is held, the destructor lets
// it go and waits for the helper to end.
#pragma once

#include <windows.h>

#include <string>

namespace setuptest {

class FileHolder {
public:
    enum class Mode { kLoad, kOpen };  // LoadLibrary, or an open handle without delete sharing
    FileHolder(Mode mode, const std::string& path);
    ~FileHolder();
    FileHolder(const FileHolder&) = delete;
    FileHolder& operator=(const FileHolder&) = delete;
    // True once the helper holds the file.
    bool Held() const { return held; }
    // Lets the file go now; true when the helper ended after holding it.
    bool Release();

private:
    HANDLE ready = nullptr, release = nullptr;
    PROCESS_INFORMATION process = {};
    bool held = false;
};

// The loadable DLL of the tests' own bitness (this build's driver), as a Windows path.
std::string LoadableDll();

// The files Windows is to delete at its next start (PendingFileRenameOperations), and the removal
// of the test's own entries from that list so that a later start of the prefix deletes nothing.
bool IsMarkedForDeletionAtRestart(const std::string& path);
void ForgetDeletionsAtRestartUnder(const std::string& folder);

}  // namespace setuptest
