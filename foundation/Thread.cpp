#include "Thread.h"

#include <atomic>

#include "MessageBox.h"
#include "Semaphore.h"
#include "ThreadPlatform.h"

// Threads: threadHandle is set by the starting thread and cleared by the worker thread when Run has
// returned; the stopping thread only reads it (atomic). runningThread is touched only by the thread
// that owns the CThread (Start, destructor).
struct CThreadData {
    std::atomic<void*> threadHandle{nullptr};  // non-null exactly while Run may still be running
    int param;
    // The end signal is unnamed: a named semaphore could be created first by another process of the
    // same user and then never be released, or be released by it.
    CSemaphoreClass endSignal{"", false};
    void* runningThread = nullptr;  // the platform thread last started, until joined and released

    explicit CThreadData(int param) : param(param) {}
};

CThread::CThread(int param, const bool& startNow) : data(new CThreadData(param)) {
    data->endSignal.Create(0, 1);
    if (startNow) Start(param);
}

CThread::~CThread() {
    if (data->threadHandle.load() != nullptr) {
        if (!data->endSignal.Wait(kEndWaitMilliseconds)) {
            ShowMessageBox("Internal thread could not be stopped!", "Error", kMessageBoxOk);
        }
    }
    // The thread procedure still reads this object after Run returned (it clears threadHandle and
    // releases the end signal), so the record may only go once the thread has really ended.
    if (data->runningThread) {
        threadplatform::JoinThread(data->runningThread);
        threadplatform::ReleaseThread(data->runningThread);
        data->runningThread = nullptr;
    }
    data->endSignal.Close();
    delete data;
    data = nullptr;
}

bool CThread::Start(int param) {
    if (data->threadHandle.load() != nullptr) return false;
    if (data->runningThread) {
        // The previous Run has returned; wait for its last steps and drop its end release, which
        // nobody may have consumed. A stale release would let the next WaitForEnd return at once
        // while the new thread still runs.
        threadplatform::JoinThread(data->runningThread);
        threadplatform::ReleaseThread(data->runningThread);
        data->runningThread = nullptr;
    }
    while (data->endSignal.Wait(0)) {
    }
    data->param = param;
    // threadHandle marks "Run may still be running"; it must be set before the new thread can clear
    // it, so it is set first and undone if the thread cannot be created.
    static int marker;
    data->threadHandle.store(&marker);
    void* thread = threadplatform::StartThread(&CThread::ThreadProcedure, this);
    if (!thread) {
        data->threadHandle.store(nullptr);
        return false;
    }
    data->runningThread = thread;
    return true;
}

bool CThread::WaitForEnd() { return WaitForEnd(kEndWaitMilliseconds); }

bool CThread::WaitForEnd(uint32_t milliseconds) {
    if (data->threadHandle.load() == nullptr) return true;
    return data->endSignal.Wait(milliseconds);
}

bool CThread::IsRunning() const { return data->threadHandle.load() != nullptr; }

unsigned CThread::ThreadProcedure(void* argument) {
    CThread* thread = static_cast<CThread*>(argument);
    thread->Run(thread->data->param);
    thread->data->threadHandle.store(nullptr);
    thread->data->endSignal.Release(1);
    return 0;
}
