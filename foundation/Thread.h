// A worker thread whose body is the Run operation of a derived class.
#pragma once

#include <cstdint>
#include <functional>

struct CThreadData;
struct CThreadRun;

class CThread {
public:
    // How long WaitForEnd and the destructor wait for Run to return.
    static constexpr uint32_t kEndWaitMilliseconds = 30000;

    // Not running; with startNow, calls Start(param).
    CThread(int param, const bool& startNow);
    // If Run has not returned, waits for it (kEndWaitMilliseconds); when that fails shows
    // "Internal thread could not be stopped!" (caption "Error", OK button) and then keeps waiting,
    // because Run still uses this object. Returns at once when the thread never ran or Run has
    // returned.
    virtual ~CThread();
    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;

    // The thread body, called on the new thread with the value given to Start. Derived classes
    // must make it return when their owner asks them to stop: nothing else ends the thread.
    virtual void Run(int param) = 0;

    // Starts a new thread running Run(param). False when the thread cannot be created or a thread
    // started earlier is still running. A thread that ended earlier is cleaned up first.
    bool Start(int param);

    // True when no thread runs or Run returns within kEndWaitMilliseconds, false otherwise.
    bool WaitForEnd();
    // The same with another bound; the shipping code always uses WaitForEnd(). For tests.
    bool WaitForEnd(uint32_t milliseconds);

    // True between a successful Start and the return of Run.
    bool IsRunning() const;

    // Threads started by this module (any CThread, StartDetached) that still have work of ours to
    // do. A thread whose end was waited for (WaitForEnd returned true) is no longer counted; each
    // thread counted holds the module mapped. Any thread.
    static int RunningThreads();

    // Starts a thread that runs body and then destroys body, with whatever it holds, on that same
    // thread; then the thread leaves RunningThreads and calls ended (when given), which tells
    // whoever waits for the thread that it is done (so a waiter that looks at RunningThreads no
    // longer finds it there). Nothing waits for such a thread through this class. It holds the
    // module while it runs, as every thread started here does. False, with both functions
    // destroyed on the calling thread, when the thread cannot be started. Neither may throw (what
    // they throw is dropped).
    static bool StartDetached(std::function<void()> body, std::function<void()> ended = nullptr);

private:
    static unsigned ThreadProcedure(void* argument);
    CThreadData* data;  // owned
};
