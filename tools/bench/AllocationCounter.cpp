// Replaces the global operator new of the benchmark program to count the allocations of the
// calling thread while counting is on (the dispatch figure's "bytes allocated per message"), or
// those of every other thread (the report figure's reader thread).
#include <atomic>
#include <cstdlib>
#include <new>

#include "BenchSupport.h"

namespace {

thread_local bool counting = false;
thread_local bench::AllocationCount counted;

// Counting of the other threads: on while othersCounting; the thread that started it is left out.
std::atomic<bool> othersCounting{false};
thread_local bool othersCounter = false;
std::atomic<uint64_t> othersCalls{0};
std::atomic<uint64_t> othersBytes{0};

void* Allocate(size_t size) {
    if (counting) {
        ++counted.calls;
        counted.bytes += size;
    }
    if (othersCounting.load(std::memory_order_relaxed) && !othersCounter) {
        othersCalls.fetch_add(1, std::memory_order_relaxed);
        othersBytes.fetch_add(size, std::memory_order_relaxed);
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}

}  // namespace

namespace bench {

void StartCountingAllocations() {
    counted = AllocationCount();
    counting = true;
}

AllocationCount StopCountingAllocations() {
    counting = false;
    return counted;
}

void StartCountingOtherThreadsAllocations() {
    othersCounter = true;
    othersCalls = 0;
    othersBytes = 0;
    othersCounting = true;
}

AllocationCount StopCountingOtherThreadsAllocations() {
    othersCounting = false;
    othersCounter = false;
    AllocationCount count;
    count.calls = othersCalls.load();
    count.bytes = othersBytes.load();
    return count;
}

}  // namespace bench

void* operator new(size_t size) { return Allocate(size); }
void* operator new[](size_t size) { return Allocate(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
