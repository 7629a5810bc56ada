#include "ProgramFolder.h"

#include <windows.h>

namespace programfolder {

bool FindLoadedModule(const std::string& baseName, std::string& fullPath) {
    for (const char* suffix : {".dll", ".exe"}) {
        const std::string moduleName = baseName + suffix;
        HMODULE module = GetModuleHandleA(moduleName.c_str());
        if (!module) continue;
        // Long paths: grow the buffer while GetModuleFileName fills it completely.
        std::string buffer(MAX_PATH, '\0');
        for (;;) {
            const DWORD length =
                GetModuleFileNameA(module, &buffer[0], static_cast<DWORD>(buffer.size()));
            if (length == 0) break;
            if (length < buffer.size()) {
                buffer.resize(length);
                fullPath = buffer;
                return true;
            }
            if (buffer.size() >= 32768) break;
            buffer.resize(buffer.size() * 2);
        }
    }
    return false;
}

}  // namespace programfolder
