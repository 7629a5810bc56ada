// The worker thread and its end signal.
#include "Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "MessageBox.h"
#include "Semaphore.h"

namespace {

std::atomic<int> boxCount{0};

int CountBox(const char*, const char*, unsigned) {
    ++boxCount;
    return 1;
}

// Runs until its gate is released (or at once when none is given) and counts its runs.
class GatedThread : public CThread {
public:
    explicit GatedThread(CSemaphoreClass* gate = nullptr) : CThread(0, false), gate(gate) {}
    ~GatedThread() override = default;
    void Run(int param) override {
        lastParam = param;
        if (gate) gate->Wait(CSemaphoreClass::kInfinite);
        ++runs;
    }
    CSemaphoreClass* gate;
    std::atomic<int> runs{0};
    std::atomic<int> lastParam{-1};
};

class ThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        boxCount = 0;
        previous = SetMessageBoxHandler(&CountBox);
    }
    void TearDown() override { SetMessageBoxHandler(previous); }
    MessageBoxHandler previous = nullptr;
};

double MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

TEST(Semaphore, CountsAndBounds) {
    CSemaphoreClass never("", false);
    EXPECT_FALSE(never.Wait(0)) << "never created";
    EXPECT_FALSE(never.Release(1));

    CSemaphoreClass semaphore("", true);  // count 0, maximum 1
    EXPECT_FALSE(semaphore.Wait(0));
    EXPECT_TRUE(semaphore.Release(1));
    EXPECT_FALSE(semaphore.Release(1)) << "beyond the maximum";
    EXPECT_TRUE(semaphore.Wait(0));
    EXPECT_FALSE(semaphore.Wait(10));
    EXPECT_TRUE(semaphore.Create(5, 5)) << "exists already: true, counts unchanged";
    EXPECT_FALSE(semaphore.Wait(0));
    EXPECT_TRUE(semaphore.Close());
    EXPECT_FALSE(semaphore.Wait(0));
    EXPECT_TRUE(semaphore.Close());
}

// Timed waits: a release from another thread wakes every waiter it has counts for (one count
// each), and a wait that gets no count lasts at least its time-out, also when the time-out's
// milliseconds carry into the next second of the deadline.
TEST(Semaphore, TimedWaitsWakeOnReleaseAndLastTheirTimeOut) {
    CSemaphoreClass semaphore("", false);
    ASSERT_TRUE(semaphore.Create(0, 2));
    std::atomic<int> woken{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 2; ++i) {
        waiters.emplace_back([&] {
            if (semaphore.Wait(60000)) ++woken;
        });
    }
    ASSERT_TRUE(semaphore.Release(2));
    for (auto& waiter : waiters) waiter.join();
    EXPECT_EQ(woken.load(), 2);
    EXPECT_FALSE(semaphore.Wait(0)) << "each waiter took one count";

    for (uint32_t timeout : {30u, 999u}) {
        auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(semaphore.Wait(timeout));
        EXPECT_GE(MillisecondsSince(start), timeout - 1.0) << "a " << timeout << " ms wait ended early";
    }
}

TEST_F(ThreadTest, DestroyingAThreadNeverStartedOrAlreadyEndedReturnsAtOnce) {
    auto start = std::chrono::steady_clock::now();
    { GatedThread idle; }
    {
        GatedThread ended;
        ASSERT_TRUE(ended.Start(7));
        ASSERT_TRUE(ended.WaitForEnd());
        EXPECT_EQ(ended.lastParam, 7);
        EXPECT_FALSE(ended.IsRunning());
    }
    {
        // Ended without anyone waiting for it: the destructor still returns at once.
        GatedThread unwaited;
        ASSERT_TRUE(unwaited.Start(0));
        while (unwaited.IsRunning()) {
        }
    }
    EXPECT_EQ(boxCount, 0);
    // Far below the 30 s the destructor would wait for a running thread.
    EXPECT_LT(MillisecondsSince(start), 10000.0);
}

TEST_F(ThreadTest, WaitForEndTellsWhetherRunReturnedWithinTheBound) {
    EXPECT_EQ(CThread::kEndWaitMilliseconds, 30000u);
    CSemaphoreClass gate("", true);
    GatedThread thread(&gate);
    EXPECT_TRUE(thread.WaitForEnd(0)) << "not started";
    ASSERT_TRUE(thread.Start(0));
    EXPECT_TRUE(thread.IsRunning());
    EXPECT_FALSE(thread.WaitForEnd(50)) << "Run keeps running";
    gate.Release(1);
    EXPECT_TRUE(thread.WaitForEnd(20000));
    EXPECT_EQ(thread.runs, 1);
}

// A run that ended unobserved leaves its end release behind; a later run must not be taken for
// ended because of it.
TEST_F(ThreadTest, ASecondRunIsNotTakenForEndedByTheFirstRunsSignal) {
    CSemaphoreClass gate("", true);
    GatedThread thread(&gate);
    gate.Release(1);
    ASSERT_TRUE(thread.Start(0));
    while (thread.IsRunning()) {
    }
    ASSERT_TRUE(thread.Start(1));
    EXPECT_FALSE(thread.WaitForEnd(50));
    EXPECT_TRUE(thread.IsRunning());
    gate.Release(1);
    EXPECT_TRUE(thread.WaitForEnd(20000));
    EXPECT_EQ(thread.runs, 2);
}

TEST_F(ThreadTest, StartRefusesWhileTheThreadStillRuns) {
    CSemaphoreClass gate("", true);
    GatedThread thread(&gate);
    ASSERT_TRUE(thread.Start(0));
    EXPECT_FALSE(thread.Start(0));
    gate.Release(1);
    EXPECT_TRUE(thread.WaitForEnd(20000));
    EXPECT_EQ(thread.runs, 1);
}

// Many threads started, stopped and destroyed at once; run under ThreadSanitizer natively.
TEST_F(ThreadTest, ManyThreadsStartAndEndConcurrently) {
    for (int round = 0; round < 20; ++round) {
        CSemaphoreClass gate("", false);
        gate.Create(0, 16);
        std::vector<GatedThread*> threads;
        for (int i = 0; i < 16; ++i) {
            threads.push_back(new GatedThread(&gate));
            ASSERT_TRUE(threads.back()->Start(i));
        }
        gate.Release(16);
        for (GatedThread* thread : threads) {
            EXPECT_TRUE(thread->WaitForEnd(20000));
            delete thread;
        }
    }
    EXPECT_EQ(boxCount, 0);
}

TEST(MessageBox, TheHandlerReceivesTheBoxAndCanBeRemoved) {
    static std::string seen;
    MessageBoxHandler previous = SetMessageBoxHandler([](const char* text, const char* caption, unsigned type) {
        seen = std::string(caption) + "/" + text + "/" + std::to_string(type);
        return 7;
    });
    EXPECT_EQ(ShowMessageBox("Internal thread could not be stopped!", "Error", kMessageBoxOk), 7);
    EXPECT_EQ(seen, "Error/Internal thread could not be stopped!/0");
    SetMessageBoxHandler(previous);
}

}  // namespace
