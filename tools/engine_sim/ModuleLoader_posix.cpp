#include "ModuleLoader.h"

#include <dlfcn.h>

namespace enginesim {

void* OpenModule(const std::string& path, std::string& error) {
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        const char* reason = dlerror();
        error = reason ? reason : "dlopen failed";
    }
    return module;
}

bool CloseModule(void* module) { return module && dlclose(module) == 0; }

void* FindExport(void* module, const char* name) { return module ? dlsym(module, name) : nullptr; }

}  // namespace enginesim
