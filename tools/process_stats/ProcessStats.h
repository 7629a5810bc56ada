// What this process holds and has used: CPU time, threads, handles (for benchmark figures and
// leak checks).
#pragma once

// User plus kernel CPU seconds the whole process has used so far.
double ProcessCpuSeconds();
// Threads of this process.
int ProcessThreads();
// Open handles (Windows) or file descriptors (natively) of this process.
int ProcessHandles();
