// Loading the driver module by path and finding its exports (LoadLibrary / dlopen).
#pragma once

#include <string>

namespace enginesim {

// The module's handle, or null with a reason in `error`. The module stays loaded until CloseModule
// (the ICA Client too may close a driver's library and load it again while its process lives on).
void* OpenModule(const std::string& path, std::string& error);

// Drops the reference OpenModule took (dlclose, FreeLibrary); true when the system accepted it.
bool CloseModule(void* module);

// The export's address, or null.
void* FindExport(void* module, const char* name);

}  // namespace enginesim
