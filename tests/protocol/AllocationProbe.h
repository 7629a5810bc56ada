// Records the largest single allocation made through the global operator new while a probe is
// alive on the current thread (the test program replaces the global operator new).
#pragma once

#include <cstddef>

class AllocationProbe {
public:
    AllocationProbe();
    ~AllocationProbe();
    size_t Largest() const;
};
