#include "ThreadPlatform.h"

#include <windows.h>

namespace threadplatform {

namespace {

struct StartRecord {
    ThreadProcedure procedure;
    void* argument;
};

DWORD WINAPI Trampoline(LPVOID parameter) {
    StartRecord record = *static_cast<StartRecord*>(parameter);
    delete static_cast<StartRecord*>(parameter);
    return record.procedure(record.argument);
}

}  // namespace

void* StartThread(ThreadProcedure procedure, void* argument) {
    StartRecord* record = new StartRecord{procedure, argument};
    HANDLE thread = CreateThread(nullptr, 0, &Trampoline, record, 0, nullptr);
    if (!thread) delete record;
    return thread;
}

void JoinThread(void* thread) { WaitForSingleObject(static_cast<HANDLE>(thread), INFINITE); }

void ReleaseThread(void* thread) { CloseHandle(static_cast<HANDLE>(thread)); }

}  // namespace threadplatform
