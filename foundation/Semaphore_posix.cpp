#include "Semaphore.h"

#include <errno.h>
#include <pthread.h>
#include <time.h>

namespace {

// A process-local counting semaphore. Names have no meaning natively: nothing is shared between
// processes here.
//
// Built on pthread_cond_timedwait with a CLOCK_MONOTONIC condition rather than on
// std::condition_variable: libstdc++ turns a timed wait on the steady clock into
// pthread_cond_clockwait, which glibc only has since 2.30, and the shipped Linux files must load on
// older C libraries. The monotonic clock keeps a timed wait unaffected by changes of the wall clock.
struct PosixSemaphore {
    pthread_mutex_t mutex;
    pthread_cond_t signalled;  // broadcast when count rises
    int count = 0;             // guarded by mutex
    int maximum = 1;
};

// Creates the mutex and the monotonic condition; false (nothing left to destroy) on failure.
bool InitSemaphore(PosixSemaphore* semaphore) {
    if (pthread_mutex_init(&semaphore->mutex, nullptr) != 0) return false;
    pthread_condattr_t attributes;
    bool ok = pthread_condattr_init(&attributes) == 0;
    if (ok) {
        ok = pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC) == 0 &&
             pthread_cond_init(&semaphore->signalled, &attributes) == 0;
        pthread_condattr_destroy(&attributes);
    }
    if (!ok) pthread_mutex_destroy(&semaphore->mutex);
    return ok;
}

// The monotonic time `milliseconds` from now.
timespec DeadlineAfter(uint32_t milliseconds) {
    timespec deadline{};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += static_cast<time_t>(milliseconds / 1000);
    deadline.tv_nsec += static_cast<long>(milliseconds % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    return deadline;
}

}  // namespace

CSemaphoreClass::CSemaphoreClass(const std::string& name, bool createNow) : name(name), handle(nullptr) {
    if (createNow) Create(0, 1);
}

CSemaphoreClass::~CSemaphoreClass() { Close(); }

bool CSemaphoreClass::Create(int initialCount, int maximumCount) {
    if (handle) return true;
    if (maximumCount <= 0 || initialCount < 0 || initialCount > maximumCount) return false;
    PosixSemaphore* semaphore = new PosixSemaphore;
    if (!InitSemaphore(semaphore)) {
        delete semaphore;
        return false;
    }
    semaphore->count = initialCount;
    semaphore->maximum = maximumCount;
    handle = semaphore;
    return true;
}

// Runs on any thread; the semaphore's mutex guards its count.
bool CSemaphoreClass::Release(int count) {
    if (!handle) return false;
    PosixSemaphore* semaphore = static_cast<PosixSemaphore*>(handle);
    pthread_mutex_lock(&semaphore->mutex);
    const bool raised = count > 0 && count <= semaphore->maximum - semaphore->count;
    if (raised) semaphore->count += count;
    pthread_mutex_unlock(&semaphore->mutex);
    if (raised) pthread_cond_broadcast(&semaphore->signalled);
    return raised;
}

// Runs on any thread; the semaphore's mutex guards its count.
bool CSemaphoreClass::Wait(const uint32_t& milliseconds) {
    if (!handle) return false;
    PosixSemaphore* semaphore = static_cast<PosixSemaphore*>(handle);
    const bool limited = milliseconds != kInfinite;
    const timespec deadline = limited ? DeadlineAfter(milliseconds) : timespec{};
    pthread_mutex_lock(&semaphore->mutex);
    int result = 0;
    // Spurious wake-ups loop back; a time-out still takes a count that arrived meanwhile.
    while (semaphore->count == 0 && result == 0) {
        result = limited ? pthread_cond_timedwait(&semaphore->signalled, &semaphore->mutex, &deadline)
                         : pthread_cond_wait(&semaphore->signalled, &semaphore->mutex);
    }
    const bool taken = semaphore->count > 0;
    if (taken) --semaphore->count;
    pthread_mutex_unlock(&semaphore->mutex);
    return taken;
}

bool CSemaphoreClass::Close() {
    PosixSemaphore* semaphore = static_cast<PosixSemaphore*>(handle);
    if (semaphore) {
        pthread_cond_destroy(&semaphore->signalled);
        pthread_mutex_destroy(&semaphore->mutex);
        delete semaphore;
        handle = nullptr;
    }
    return true;
}
