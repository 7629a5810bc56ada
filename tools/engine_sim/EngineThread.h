// The simulated ICA Client's one engine thread: it runs posted tasks in order, pumps messages, and
// calls a periodic function (the poll) at a set interval while that is switched on.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace enginesim {

class EngineThread {
public:
    // `idle` runs at every turn of the loop (the message pump), `periodic` at every interval while
    // periodic calls are on. Both run on the engine thread.
    EngineThread(std::function<void()> idle, std::function<void()> periodic);
    ~EngineThread();  // Stop()
    EngineThread(const EngineThread&) = delete;
    EngineThread& operator=(const EngineThread&) = delete;

    // Runs `task` on the engine thread and waits for it; an exception it throws is rethrown here.
    // Called on the engine thread itself, it runs the task at once.
    void RunSync(const std::function<void()>& task);

    // Queues `task`; tasks run in the order they were posted. Any thread.
    void Post(std::function<void()> task);

    // Periodic calls every `interval` (the first one after one interval); 0 switches them off.
    void SetPeriodic(std::chrono::milliseconds interval);

    bool IsEngineThread() const;

    // Runs the tasks still queued, then ends the thread. Idempotent.
    void Stop();

private:
    void Loop();

    std::function<void()> idle;
    std::function<void()> periodic;

    std::mutex mutex;  // guards everything below
    std::condition_variable wake;
    std::deque<std::function<void()>> tasks;
    std::chrono::milliseconds interval{0};
    std::chrono::steady_clock::time_point nextPeriodic;
    bool stopping = false;

    std::thread thread;  // last: started once the members above exist
};

}  // namespace enginesim
