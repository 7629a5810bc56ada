#include "TraceFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace tracefile {

bool IsExistingFile(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool AppendLine(const std::string& path, const std::string& text) {
    FILE* file = fopen(path.c_str(), "a");
    if (!file) return false;
    const bool ok = fputs(text.c_str(), file) >= 0 && fputc('\n', file) != EOF;
    return fclose(file) == 0 && ok;
}

unsigned long CurrentProcessId() { return static_cast<unsigned long>(getpid()); }

}  // namespace tracefile
