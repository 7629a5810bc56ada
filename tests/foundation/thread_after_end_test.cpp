// Work a thread does after its Run has returned: the thread counts as ended meanwhile, so its
// owner neither waits for that work nor keeps the object alive for it.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "MessageBox.h"
#include "Semaphore.h"
#include "Thread.h"

namespace {

std::atomic<int> boxes{0};

int CountBox(const char*, const char*, unsigned) {
    ++boxes;
    return 1;
}

// What the after-end work shares with the test; the work holds it too, since it may still be
// returning from its last release when the test goes on.
struct Shared {
    CSemaphoreClass gate{"", false};
    CSemaphoreClass done{"", false};
    std::mutex mutex;
    std::string seen;  // guarded by mutex
};

// Run returns at once after handing the after-end work a copy of its text; the work waits for
// gate, then stores the text and releases done. It touches nothing of the thread object.
class AfterEndThread : public CThread {
public:
    explicit AfterEndThread(std::shared_ptr<Shared> shared) : CThread(0, false), shared(std::move(shared)) {}
    void Run(int param) override {
        ++runs;
        const std::string text = "run " + std::to_string(param);
        std::shared_ptr<Shared> s = shared;
        RunAfterEnd([text, s] {
            s->gate.Wait(CSemaphoreClass::kInfinite);
            {
                std::lock_guard<std::mutex> lock(s->mutex);
                s->seen = text;
            }
            s->done.Release(1);
        });
    }
    std::atomic<int> runs{0};

private:
    std::shared_ptr<Shared> shared;
};

std::string Seen(Shared& shared) {
    std::lock_guard<std::mutex> lock(shared.mutex);
    return shared.seen;
}

class ThreadAfterEnd : public ::testing::Test {
protected:
    void SetUp() override {
        boxes = 0;
        previous = SetMessageBoxHandler(&CountBox);
    }
    void TearDown() override { SetMessageBoxHandler(previous); }
    MessageBoxHandler previous = nullptr;
    std::shared_ptr<Shared> shared = std::make_shared<Shared>();
    CSemaphoreClass& gate = shared->gate;
    CSemaphoreClass& done = shared->done;
};

TEST_F(ThreadAfterEnd, TheOwnerNeitherWaitsForTheWorkNorOutlivesItsNeed) {
    ASSERT_TRUE(gate.Create(0, 8));
    ASSERT_TRUE(done.Create(0, 8));
    std::unique_ptr<AfterEndThread> thread(new AfterEndThread(shared));
    ASSERT_TRUE(thread->Start(7));
    // The work is held by the gate, yet the thread counts as ended and the object can go.
    EXPECT_TRUE(thread->WaitForEnd(20000));
    EXPECT_FALSE(thread->IsRunning());
    thread.reset();
    EXPECT_TRUE(Seen(*shared).empty()) << "the work has not run yet";
    gate.Release(1);
    ASSERT_TRUE(done.Wait(20000));
    EXPECT_EQ(Seen(*shared), "run 7");
    EXPECT_EQ(boxes, 0) << "the destructor had nothing to wait for";
}

TEST_F(ThreadAfterEnd, TheNextStartDoesNotWaitForThePreviousWork) {
    ASSERT_TRUE(gate.Create(0, 8));
    ASSERT_TRUE(done.Create(0, 8));
    AfterEndThread thread(shared);
    ASSERT_TRUE(thread.Start(1));
    ASSERT_TRUE(thread.WaitForEnd(20000));
    ASSERT_TRUE(thread.Start(2)) << "the first thread is still in its work";
    ASSERT_TRUE(thread.WaitForEnd(20000));
    EXPECT_EQ(thread.runs, 2);
    gate.Release(2);
    ASSERT_TRUE(done.Wait(20000));
    ASSERT_TRUE(done.Wait(20000));
    const std::string seen = Seen(*shared);
    EXPECT_TRUE(seen == "run 1" || seen == "run 2") << seen;
    EXPECT_EQ(boxes, 0);
}

}  // namespace
