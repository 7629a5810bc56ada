#include "AllocationProbe.h"

#include <cstdlib>
#include <new>

namespace {
thread_local bool probing = false;
thread_local size_t largest = 0;

void* Allocate(size_t size) {
    if (probing && size > largest) {
        largest = size;
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
}  // namespace

AllocationProbe::AllocationProbe() {
    largest = 0;
    probing = true;
}

AllocationProbe::~AllocationProbe() {
    probing = false;
}

size_t AllocationProbe::Largest() const {
    return largest;
}

void* operator new(size_t size) { return Allocate(size); }
void* operator new[](size_t size) { return Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
