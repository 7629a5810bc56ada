// What this process holds and has used: CPU time, threads, handles (for benchmark figures and
// leak checks).
#pragma once

// User plus kernel CPU seconds the whole process has used so far.
double ProcessCpuSeconds();
// Threads of this process.
int ProcessThreads();
// Open handles (Windows) or file descriptors (natively) of this process.
int ProcessHandles();
// Runs one thread that does nothing, joins it and returns once the system no longer lists it
// (false if it is still listed after 20 s). A thread count taken afterwards includes whatever the
// runtime starts with a process's first thread (ThreadSanitizer's background thread, say) and no
// thread on its way out: under qemu-user a joined thread stays listed for a moment after the join.
bool RunOneThreadToItsEnd();
