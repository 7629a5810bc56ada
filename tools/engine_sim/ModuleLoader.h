// Loading the driver module by path and finding its exports (LoadLibrary / dlopen).
#pragma once

#include <string>

namespace enginesim {

// The module's handle, or null with a reason in `error`. The module stays loaded for the rest of
// the process: the driver's state lives until process exit, like in the ICA Client's process.
void* OpenModule(const std::string& path, std::string& error);

// The export's address, or null.
void* FindExport(void* module, const char* name);

}  // namespace enginesim
