// The platform's threads as the worker thread class uses them.
#pragma once

namespace threadplatform {

using ThreadProcedure = unsigned (*)(void* argument);

// Starts a thread (default security and stack size) running procedure(argument); null on failure.
void* StartThread(ThreadProcedure procedure, void* argument);
// Waits without limit until the thread has ended.
void JoinThread(void* thread);
// Releases what StartThread returned; the thread must have ended (JoinThread).
void ReleaseThread(void* thread);

}  // namespace threadplatform
