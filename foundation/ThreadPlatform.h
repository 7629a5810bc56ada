// The platform's threads as the worker thread class uses them.
#pragma once

namespace threadplatform {

using ThreadProcedure = unsigned (*)(void* argument);

// Starts a thread (default security and stack size) running procedure(argument); null on failure.
// Natively the thread blocks every asynchronous signal from its start (the host's threads take them).
// The thread holds a reference to the module that contains this code from before it starts until
// after its last instruction here, so unloading the module (FreeLibrary, dlclose) while the thread
// still runs leaves the module mapped until the thread has ended: on Windows the thread ends with
// FreeLibraryAndExitThread, natively the C library drops the reference (dlclose) as the thread
// exits, after the procedure has returned.
void* StartThread(ThreadProcedure procedure, void* argument);
// Waits without limit until the thread has ended.
void JoinThread(void* thread);
// Releases what StartThread returned; the thread must have ended (JoinThread).
void ReleaseThread(void* thread);
// Releases what StartThread returned while the thread may still run; it ends on its own.
void DetachThread(void* thread);
// Whether the thread is the calling thread (which can never wait for its own end).
bool IsCurrentThread(void* thread);

}  // namespace threadplatform
