// Work a thread does after its Run has returned: the thread counts as ended meanwhile, so its
// owner neither waits for that work nor keeps the object alive for it.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
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

// Run returns at once after handing the after-end work a copy of its text; the work waits for
// gate, then stores the text in *seen and releases done. It touches nothing of the thread object.
class AfterEndThread : public CThread {
public:
    AfterEndThread(CSemaphoreClass& gate, CSemaphoreClass& done, std::string& seen)
        : CThread(0, false), gate(gate), done(done), seen(seen) {}
    void Run(int param) override {
        ++runs;
        const std::string text = "run " + std::to_string(param);
        CSemaphoreClass* g = &gate;
        CSemaphoreClass* d = &done;
        std::string* s = &seen;
        RunAfterEnd([text, g, d, s] {
            g->Wait(CSemaphoreClass::kInfinite);
            *s = text;
            d->Release(1);
        });
    }
    std::atomic<int> runs{0};

private:
    CSemaphoreClass& gate;
    CSemaphoreClass& done;
    std::string& seen;
};

class ThreadAfterEnd : public ::testing::Test {
protected:
    void SetUp() override {
        boxes = 0;
        previous = SetMessageBoxHandler(&CountBox);
    }
    void TearDown() override { SetMessageBoxHandler(previous); }
    MessageBoxHandler previous = nullptr;
    CSemaphoreClass gate{"", false};
    CSemaphoreClass done{"", false};
    std::string seen;
};

TEST_F(ThreadAfterEnd, TheOwnerNeitherWaitsForTheWorkNorOutlivesItsNeed) {
    ASSERT_TRUE(gate.Create(0, 8));
    ASSERT_TRUE(done.Create(0, 8));
    std::unique_ptr<AfterEndThread> thread(new AfterEndThread(gate, done, seen));
    ASSERT_TRUE(thread->Start(7));
    // The work is held by the gate, yet the thread counts as ended and the object can go.
    EXPECT_TRUE(thread->WaitForEnd(20000));
    EXPECT_FALSE(thread->IsRunning());
    thread.reset();
    EXPECT_TRUE(seen.empty()) << "the work has not run yet";
    gate.Release(1);
    ASSERT_TRUE(done.Wait(20000));
    EXPECT_EQ(seen, "run 7");
    EXPECT_EQ(boxes, 0) << "the destructor had nothing to wait for";
}

TEST_F(ThreadAfterEnd, TheNextStartDoesNotWaitForThePreviousWork) {
    ASSERT_TRUE(gate.Create(0, 8));
    ASSERT_TRUE(done.Create(0, 8));
    AfterEndThread thread(gate, done, seen);
    ASSERT_TRUE(thread.Start(1));
    ASSERT_TRUE(thread.WaitForEnd(20000));
    ASSERT_TRUE(thread.Start(2)) << "the first thread is still in its work";
    ASSERT_TRUE(thread.WaitForEnd(20000));
    EXPECT_EQ(thread.runs, 2);
    gate.Release(2);
    ASSERT_TRUE(done.Wait(20000));
    ASSERT_TRUE(done.Wait(20000));
    EXPECT_TRUE(seen == "run 1" || seen == "run 2") << seen;
    EXPECT_EQ(boxes, 0);
}

}  // namespace
