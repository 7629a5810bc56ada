#include "Thread.h"

#include <atomic>
#include <utility>

#include "MessageBox.h"
#include "Semaphore.h"
#include "ThreadPlatform.h"

// One started thread. Shared by the CThread (until its next Start or its destructor) and by the
// thread itself (until its last step), whichever lets go last frees it; so the thread may outlive
// the CThread and the CThread never has to wait for more than the return of Run.
//
// Threads: running is set by the starting thread before the thread exists and cleared by the
// thread when Run has returned (atomic). platformThread belongs to the owner.
struct CThreadRun {
    CThreadRun(CThread* thread, int param) : thread(thread), param(param) {}

    std::atomic<int> references{1};
    CThread* thread;  // whose Run runs; not used once Run has returned
    int param;
    // The end signal is unnamed: a named semaphore could be created first by another process of
    // the same user and then never be released, or be released by it.
    CSemaphoreClass endSignal{"", false};  // released once when Run has returned
    std::atomic<bool> running{true};       // Run may still be running
    void* platformThread = nullptr;  // what StartThread returned, until joined or detached
};

struct CThreadData {
    explicit CThreadData(int param) : param(param) {}
    int param;
    CThreadRun* current = nullptr;  // the run last started (shared), touched only by the owner
};

namespace {

std::atomic<int> g_runningThreads{0};  // see CThread::RunningThreads

void Drop(CThreadRun* run) {
    if (run->references.fetch_sub(1) == 1) {
        run->endSignal.Close();
        delete run;
    }
}

// The owner's end of a run whose Run has returned. A thread that only finishes its last steps is
// waited for, so its resources are gone when the owner goes on; the calling thread itself is left
// to end on its own.
void ReleaseEndedRun(CThreadRun* run) {
    if (run->platformThread) {
        if (threadplatform::IsCurrentThread(run->platformThread)) {
            threadplatform::DetachThread(run->platformThread);
        } else {
            threadplatform::JoinThread(run->platformThread);
            threadplatform::ReleaseThread(run->platformThread);
        }
        run->platformThread = nullptr;
    }
    Drop(run);
}

}  // namespace

CThread::CThread(int param, const bool& startNow) : data(new CThreadData(param)) {
    if (startNow) Start(param);
}

CThread::~CThread() {
    if (CThreadRun* run = data->current) {
        if (run->running.load()) {
            if (!run->endSignal.Wait(kEndWaitMilliseconds)) {
                ShowMessageBox("Internal thread could not be stopped!", "Error", kMessageBoxOk);
                // Run still uses this object, so the object may only go once Run has returned.
                while (run->running.load() && !run->endSignal.Wait(CSemaphoreClass::kInfinite)) {
                }
            }
        }
        ReleaseEndedRun(run);
        data->current = nullptr;
    }
    delete data;
    data = nullptr;
}

bool CThread::Start(int param) {
    if (IsRunning()) return false;
    if (data->current) {
        ReleaseEndedRun(data->current);
        data->current = nullptr;
    }
    data->param = param;
    CThreadRun* run = new CThreadRun(this, param);
    if (!run->endSignal.Create(0, 1)) {
        delete run;
        return false;
    }
    run->references.store(2);  // the owner's and the thread's
    data->current = run;
    g_runningThreads.fetch_add(1);
    void* thread = threadplatform::StartThread(&CThread::ThreadProcedure, run);
    if (!thread) {
        g_runningThreads.fetch_sub(1);
        data->current = nullptr;
        run->running.store(false);
        run->references.store(1);
        Drop(run);
        return false;
    }
    run->platformThread = thread;
    return true;
}

bool CThread::WaitForEnd() { return WaitForEnd(kEndWaitMilliseconds); }

bool CThread::WaitForEnd(uint32_t milliseconds) {
    CThreadRun* run = data->current;
    if (!run || !run->running.load()) return true;
    return run->endSignal.Wait(milliseconds);
}

int CThread::RunningThreads() { return g_runningThreads.load(); }

namespace {

struct DetachedWork {
    std::function<void()> body;
    std::function<void()> ended;
};

unsigned DetachedProcedure(void* argument) {
    DetachedWork* work = static_cast<DetachedWork*>(argument);
    try {
        work->body();
    } catch (...) {
    }
    // What body held goes here, on this thread: the last holder of a device's opening closes its
    // handles as it lets go.
    try {
        work->body = nullptr;
    } catch (...) {
    }
    // The thread leaves the count before its end is told, so that whoever waited for the end no
    // longer counts it; what remains is its exit, which its own hold on the module covers.
    g_runningThreads.fetch_sub(1);
    try {
        if (work->ended) work->ended();
        delete work;
    } catch (...) {
    }
    return 0;
}

}  // namespace

bool CThread::StartDetached(std::function<void()> body, std::function<void()> ended) {
    DetachedWork* owned = new DetachedWork{std::move(body), std::move(ended)};
    g_runningThreads.fetch_add(1);
    void* thread = threadplatform::StartThread(&DetachedProcedure, owned);
    if (!thread) {
        g_runningThreads.fetch_sub(1);
        delete owned;
        return false;
    }
    threadplatform::DetachThread(thread);
    return true;
}

bool CThread::IsRunning() const { return data->current != nullptr && data->current->running.load(); }

unsigned CThread::ThreadProcedure(void* argument) {
    CThreadRun* run = static_cast<CThreadRun*>(argument);
    run->thread->Run(run->param);
    // From here on the CThread and its owner may be gone at any moment: only the run is used. The
    // thread leaves the count before its end is signalled, so that whoever waited for the end (a
    // Close before VdUnload counts) no longer counts it. What remains of it is its exit, which its
    // own hold on the module covers.
    g_runningThreads.fetch_sub(1);
    run->running.store(false);
    run->endSignal.Release(1);
    Drop(run);
    return 0;
}
