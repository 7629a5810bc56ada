#include "Semaphore.h"

#include <windows.h>

CSemaphoreClass::CSemaphoreClass(const std::string& name, bool createNow) : name(name), handle(nullptr) {
    if (createNow) Create(0, 1);
}

CSemaphoreClass::~CSemaphoreClass() { Close(); }

bool CSemaphoreClass::Create(int initialCount, int maximumCount) {
    if (handle) return true;
    handle = CreateSemaphoreA(nullptr, initialCount, maximumCount, name.empty() ? nullptr : name.c_str());
    return handle != nullptr;
}

bool CSemaphoreClass::Release(int count) {
    if (!handle) return false;
    return ReleaseSemaphore(handle, count, nullptr) != FALSE;
}

bool CSemaphoreClass::Wait(const uint32_t& milliseconds) {
    if (!handle) return false;
    const DWORD result = WaitForSingleObject(handle, milliseconds);
    // A failed wait (WAIT_FAILED) is not a signal: reporting it as one would let a caller believe
    // a thread ended that may still run.
    return result == WAIT_OBJECT_0;
}

bool CSemaphoreClass::Close() {
    if (handle) {
        CloseHandle(handle);
        handle = nullptr;
    }
    return true;
}
