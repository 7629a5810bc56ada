#include "TraceFile.h"

#include <windows.h>

#include <cstdio>
#include <share.h>

namespace tracefile {

bool IsExistingFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool AppendLine(const std::string& path, const std::string& text) {
    FILE* file = _fsopen(path.c_str(), "at", _SH_DENYNO);
    if (!file) return false;
    const bool ok = fputs(text.c_str(), file) >= 0 && fputc('\n', file) != EOF;  // CR LF in text mode
    return fclose(file) == 0 && ok;
}

unsigned long CurrentProcessId() { return GetCurrentProcessId(); }

}  // namespace tracefile
