#include "Semaphore.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace {

// A process-local counting semaphore. Names have no meaning natively: nothing is shared between
// processes here.
struct PosixSemaphore {
    std::mutex mutex;
    std::condition_variable signalled;
    int count = 0;      // guarded by mutex
    int maximum = 1;
};

}  // namespace

CSemaphoreClass::CSemaphoreClass(const std::string& name, bool createNow) : name(name), handle(nullptr) {
    if (createNow) Create(0, 1);
}

CSemaphoreClass::~CSemaphoreClass() { Close(); }

bool CSemaphoreClass::Create(int initialCount, int maximumCount) {
    if (handle) return true;
    if (maximumCount <= 0 || initialCount < 0 || initialCount > maximumCount) return false;
    PosixSemaphore* semaphore = new PosixSemaphore;
    semaphore->count = initialCount;
    semaphore->maximum = maximumCount;
    handle = semaphore;
    return true;
}

bool CSemaphoreClass::Release(int count) {
    if (!handle) return false;
    PosixSemaphore* semaphore = static_cast<PosixSemaphore*>(handle);
    {
        std::lock_guard<std::mutex> lock(semaphore->mutex);
        if (count <= 0 || count > semaphore->maximum - semaphore->count) return false;
        semaphore->count += count;
    }
    semaphore->signalled.notify_all();
    return true;
}

bool CSemaphoreClass::Wait(const uint32_t& milliseconds) {
    if (!handle) return false;
    PosixSemaphore* semaphore = static_cast<PosixSemaphore*>(handle);
    std::unique_lock<std::mutex> lock(semaphore->mutex);
    auto available = [semaphore] { return semaphore->count > 0; };
    if (milliseconds == kInfinite) {
        semaphore->signalled.wait(lock, available);
    } else if (!semaphore->signalled.wait_for(lock, std::chrono::milliseconds(milliseconds), available)) {
        return false;
    }
    --semaphore->count;
    return true;
}

bool CSemaphoreClass::Close() {
    delete static_cast<PosixSemaphore*>(handle);
    handle = nullptr;
    return true;
}
