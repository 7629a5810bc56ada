#include "ModuleLoader.h"

#include <windows.h>

#include "FormatString.h"

namespace enginesim {

void* OpenModule(const std::string& path, std::string& error) {
    HMODULE module = LoadLibraryA(path.c_str());
    if (!module) error = FormatString("LoadLibrary failed with error %lu", GetLastError());
    return module;
}

bool CloseModule(void* module) { return module && FreeLibrary(static_cast<HMODULE>(module)) != 0; }

void* FindExport(void* module, const char* name) {
    return module ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name)) : nullptr;
}

}  // namespace enginesim
