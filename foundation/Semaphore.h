// A counting semaphore; the worker thread uses one as its end-of-thread signal.
#pragma once

#include <cstdint>
#include <string>

class CSemaphoreClass {
public:
    // Stores the name; with createNow, creates the semaphore with count 0 and maximum 1.
    // An empty name creates an unnamed semaphore, which no other process can open or pre-create.
    CSemaphoreClass(const std::string& name, bool createNow);
    virtual ~CSemaphoreClass();
    CSemaphoreClass(const CSemaphoreClass&) = delete;
    CSemaphoreClass& operator=(const CSemaphoreClass&) = delete;

    // True at once when a semaphore exists; otherwise creates one with the given counts.
    bool Create(int initialCount, int maximumCount);
    // False without a semaphore; otherwise raises the count (false when it would pass the maximum).
    bool Release(int count);
    // False without a semaphore, on time-out and on a failed wait; 0xFFFFFFFF waits without limit.
    bool Wait(const uint32_t& milliseconds);
    // Closes the semaphore if there is one. Always true.
    bool Close();

    static constexpr uint32_t kInfinite = 0xFFFFFFFFu;

private:
    std::string name;
    void* handle;  // the platform semaphore, null until created; owned
};
