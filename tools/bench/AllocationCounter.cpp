// Replaces the global operator new of the benchmark program to count the allocations of the
// calling thread while counting is on (the dispatch figure's "bytes allocated per message").
#include <cstdlib>
#include <new>

#include "BenchSupport.h"

namespace {

thread_local bool counting = false;
thread_local bench::AllocationCount counted;

void* Allocate(size_t size) {
    if (counting) {
        ++counted.calls;
        counted.bytes += size;
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
