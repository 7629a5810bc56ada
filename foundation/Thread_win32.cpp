#include "ThreadPlatform.h"

#include <windows.h>

namespace threadplatform {

namespace {

struct StartRecord {
    ThreadProcedure procedure;
    void* argument;
    HMODULE module;  // the reference the thread drops as it ends; null when none could be taken
};

// The module that holds this code, with one more reference on it.
HMODULE ReferenceOwnModule() {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCWSTR>(&ReferenceOwnModule), &module)) {
        return nullptr;
    }
    return module;
}

DWORD WINAPI Trampoline(LPVOID parameter) {
    StartRecord record = *static_cast<StartRecord*>(parameter);
    delete static_cast<StartRecord*>(parameter);
    const DWORD code = record.procedure(record.argument);
    // Drops the module reference and ends the thread in one system call, which never returns into
    // the module: when it was the last reference the module is unloaded with no code of ours left
    // running on this thread.
    if (record.module) FreeLibraryAndExitThread(record.module, code);
    return code;
}

}  // namespace

void* StartThread(ThreadProcedure procedure, void* argument) {
    StartRecord* record = new StartRecord{procedure, argument, ReferenceOwnModule()};
    HANDLE thread = CreateThread(nullptr, 0, &Trampoline, record, 0, nullptr);
    if (!thread) {
        if (record->module) FreeLibrary(record->module);
        delete record;
    }
    return thread;
}

void JoinThread(void* thread) { WaitForSingleObject(static_cast<HANDLE>(thread), INFINITE); }

void ReleaseThread(void* thread) { CloseHandle(static_cast<HANDLE>(thread)); }

void DetachThread(void* thread) { CloseHandle(static_cast<HANDLE>(thread)); }

bool IsCurrentThread(void* thread) { return GetThreadId(static_cast<HANDLE>(thread)) == GetCurrentThreadId(); }

}  // namespace threadplatform
