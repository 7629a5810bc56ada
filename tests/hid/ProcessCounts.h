// Counts of the test process's own kernel resources, to find leaks.
#pragma once

// Open handles (Windows) or file descriptors (natively) of this process.
int CountOpenHandles();
// Threads of this process.
int CountThreads();
