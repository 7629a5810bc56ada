// A second process that traces into a log shared with the foundation tests (Windows only): creates
// its ready file, waits for the go file, then writes its lines, so that two writers started by a
// test are sure to write at the same time.
//   TraceAppendWriter.exe LOG TAG COUNT READY GO
#include <windows.h>

#include <cstdlib>
#include <string>

#include "TraceLog.h"

int main(int argc, char** argv) {
    if (argc != 6) return 2;
    const std::string log = argv[1], tag = argv[2], ready = argv[4], go = argv[5];
    const int count = std::atoi(argv[3]);
    if (count <= 0 || count > 100000) return 2;
    const HANDLE readyFile = CreateFileA(ready.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (readyFile == INVALID_HANDLE_VALUE) return 3;
    CloseHandle(readyFile);
    // The test creates the go file once both writers are ready; it gives up on them after 60 s.
    const ULONGLONG giveUp = GetTickCount64() + 60000;
    while (GetFileAttributesA(go.c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (GetTickCount64() > giveUp) return 4;
        Sleep(1);
    }
    for (int i = 0; i < count; ++i) {
        WriteLogLine(tag + " line " + std::to_string(i) + " of a trace about as long as the driver's lines", log,
                     "Writer", false);
    }
    return 0;
}
