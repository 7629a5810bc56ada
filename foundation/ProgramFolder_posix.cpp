#include "ProgramFolder.h"

#include <link.h>
#include <unistd.h>

#include <climits>

namespace programfolder {

namespace {

std::string BaseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

struct LibrarySearch {
    std::string wanted;  // "lib<name>.so"
    std::string path;
};

int VisitLoadedObject(dl_phdr_info* info, size_t, void* data) {
    LibrarySearch* search = static_cast<LibrarySearch*>(data);
    if (info->dlpi_name && info->dlpi_name[0] && BaseName(info->dlpi_name) == search->wanted) {
        search->path = info->dlpi_name;
        return 1;
    }
    return 0;
}

}  // namespace

bool FindLoadedModule(const std::string& baseName, std::string& fullPath) {
    LibrarySearch search{"lib" + baseName + ".so", {}};
    dl_iterate_phdr(VisitLoadedObject, &search);
    if (!search.path.empty()) {
        char resolved[PATH_MAX];
        fullPath = realpath(search.path.c_str(), resolved) ? resolved : search.path;
        return true;
    }
    char program[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", program, sizeof program - 1);
    if (length <= 0) return false;
    program[length] = '\0';
    if (BaseName(program) != baseName) return false;
    fullPath = program;
    return true;
}

}  // namespace programfolder
