#include "EngineThread.h"

#include <exception>
#include <future>

namespace enginesim {

namespace {
// The longest the loop sleeps without pumping messages.
constexpr auto kPumpInterval = std::chrono::milliseconds(5);
}  // namespace

EngineThread::EngineThread(std::function<void()> idle, std::function<void()> periodic)
    : idle(std::move(idle)), periodic(std::move(periodic)), thread([this] { Loop(); }) {}

EngineThread::~EngineThread() { Stop(); }

bool EngineThread::IsEngineThread() const { return std::this_thread::get_id() == thread.get_id(); }

void EngineThread::Post(std::function<void()> task) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        tasks.push_back(std::move(task));
    }
    wake.notify_one();
}

void EngineThread::RunSync(const std::function<void()>& task) {
    if (IsEngineThread()) {
        task();
        return;
    }
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> result = done->get_future();
    Post([&task, done] {
        try {
            task();
            done->set_value();
        } catch (...) {
            done->set_exception(std::current_exception());
        }
    });
    result.get();
}

void EngineThread::SetPeriodic(std::chrono::milliseconds newInterval) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        interval = newInterval;
        nextPeriodic = std::chrono::steady_clock::now() + newInterval;
    }
    wake.notify_one();
}

void EngineThread::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (stopping && !thread.joinable()) return;
        stopping = true;
    }
    wake.notify_one();
    if (thread.joinable() && !IsEngineThread()) thread.join();
}

void EngineThread::Loop() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        while (!tasks.empty()) {
            std::function<void()> task = std::move(tasks.front());
            tasks.pop_front();
            lock.unlock();
            task();
            lock.lock();
        }
        if (stopping) return;

        lock.unlock();
        if (idle) idle();
        lock.lock();

        auto now = std::chrono::steady_clock::now();
        if (interval.count() > 0 && now >= nextPeriodic && tasks.empty()) {
            nextPeriodic = now + interval;
            lock.unlock();
            if (periodic) periodic();
            lock.lock();
            continue;
        }
        auto until = now + kPumpInterval;
        if (interval.count() > 0 && nextPeriodic < until) until = nextPeriodic;
        wake.wait_until(lock, until, [&] { return stopping || !tasks.empty(); });
    }
}

}  // namespace enginesim
