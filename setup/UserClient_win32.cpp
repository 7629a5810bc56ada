#include "UserClient.h"

#include <windows.h>

#include "InstallerNames.h"
#include "PeImage.h"
#include "RegistryValueType.h"

namespace installer {

namespace {

// The engine's machine type: wfica32.exe first, else the first other wfica*.exe; 0 when none is a
// PE image of a client we know.
uint16_t EngineMachine(const std::string& folder) {
    const uint16_t engine32 = PeImageMachine(folder + "wfica32.exe");
    if (engine32 == Traits(ClientBitness::k32).machine) return engine32;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "wfica*.exe").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    uint16_t machine = 0;
    // A client folder holds a few engines at most; the search is bounded all the same.
    for (int seen = 0; machine == 0 && seen < 64; ++seen) {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            const uint16_t candidate = PeImageMachine(folder + found.cFileName);
            if (candidate == Traits(ClientBitness::k32).machine || candidate == Traits(ClientBitness::k64).machine)
                machine = candidate;
        }
        if (!FindNextFileA(search, &found)) break;
    }
    FindClose(search);
    return machine;
}

}  // namespace

bool FindUserClient(UserClient& client) {
    char local[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableA("LOCALAPPDATA", local, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    std::string folder(local, length);
    if (folder.back() != '\\') folder += '\\';
    folder += "Citrix\\ICA Client\\";
    if (!KeyExists(kRegistryCurrentUser, RegistryView::kProgram, kVirtualDriverListKey)) return false;
    const uint16_t machine = EngineMachine(folder);
    if (machine == 0) return false;
    client.folder = folder;
    client.bitness = machine == Traits(ClientBitness::k64).machine ? ClientBitness::k64 : ClientBitness::k32;
    return true;
}

}  // namespace installer
