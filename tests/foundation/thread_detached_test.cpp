// A detached thread: nothing waits for it, it counts as running (and holds the module) until what
// its body held has been let go, and that letting go happens on the thread itself.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "Semaphore.h"
#include "Thread.h"

namespace {

// Tells, as it is destroyed, on which thread that happened.
struct Held {
    explicit Held(CSemaphoreClass& destroyed) : destroyed(destroyed) {}
    ~Held() {
        onThread = std::this_thread::get_id();
        destroyed.Release(1);
    }
    CSemaphoreClass& destroyed;
    static std::thread::id onThread;
};
std::thread::id Held::onThread;

TEST(DetachedThread, ItCountsUntilWhatItHoldsIsLetGoOnItsOwnThread) {
    CSemaphoreClass gate("", false), destroyed("", false), bodyRan("", false);
    ASSERT_TRUE(gate.Create(0, 1) && destroyed.Create(0, 1) && bodyRan.Create(0, 1));
    const int before = CThread::RunningThreads();
    std::atomic<std::thread::id> bodyThread{};
    auto held = std::make_shared<Held>(destroyed);
    ASSERT_TRUE(CThread::StartDetached([held, &gate, &bodyRan, &bodyThread] {
        bodyThread = std::this_thread::get_id();
        bodyRan.Release(1);
        gate.Wait(CSemaphoreClass::kInfinite);
    }));
    held.reset();  // the body's copy is the last
    ASSERT_TRUE(bodyRan.Wait(20000));
    EXPECT_EQ(CThread::RunningThreads(), before + 1) << "the running body counts";
    gate.Release(1);
    ASSERT_TRUE(destroyed.Wait(20000));
    EXPECT_EQ(Held::onThread, bodyThread.load()) << "what the body held went on the body's thread";
    // The thread leaves the count right after that; nothing else signals it.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (CThread::RunningThreads() != before && std::chrono::steady_clock::now() < end) std::this_thread::yield();
    EXPECT_EQ(CThread::RunningThreads(), before);
}

}  // namespace
