// A reader stuck in its report handler past the stop wait's bound: nothing it uses is closed or
// freed before it has ended. Run under AddressSanitizer (native-asan) and ThreadSanitizer.
#include <gtest/gtest.h>

#include <memory>
#include <mutex>

#include "SimDeviceSupport.h"
#include "Thread.h"

using namespace simtest;

namespace {

constexpr int32_t kPhilips = 0x0911;

// What the test shares with the device and with the device's reader, which may outlive the device
// object's owner.
struct Shared {
    Shared() { gate.Create(0, 1); }
    CSemaphoreClass gate{"", false};  // the first event's handler waits for it
    Signal entered;                   // raised by each event as it starts
    Signal deleted;                   // raised once the device has been destroyed
    std::mutex mutex;
    Events events;  // guarded by mutex
};

// Its report handler holds the reader at the first event until the test opens the gate.
class HeldDevice : public CUSBButtonDevice {
public:
    explicit HeldDevice(std::shared_ptr<Shared> shared) : shared(std::move(shared)) {}
    ~HeldDevice() override { DisconnectAndWaitForThreads(); }
    void OnButtonPressed(const int32_t& code, const int32_t& pressed) override {
        bool first = false;
        {
            std::lock_guard<std::mutex> lock(shared->mutex);
            shared->events.emplace_back(code, pressed);
            first = shared->events.size() == 1;
        }
        shared->entered.Raise();
        if (first) shared->gate.Wait(CSemaphoreClass::kInfinite);
    }

private:
    std::shared_ptr<Shared> shared;
};

class ReaderLifetime : public BusTest {
protected:
    void SetUp() override {
        BusTest::SetUp();
        CUSBHIDDevice::SetStopWaitForTests(50);
    }
    void TearDown() override {
        CUSBHIDDevice::SetStopWaitForTests(CThread::kEndWaitMilliseconds);
        BusTest::TearDown();
    }
};

}  // namespace

// The test's thread plays the engine thread: it disconnects and deletes as the dispatcher does.
TEST_F(ReaderLifetime, AReaderHeldPastTheStopWaitKeepsItsHandlesAndItsDevice) {
    const int id = Plug("SpeechMikeIII");
    auto shared = std::make_shared<Shared>();
    HeldDevice* device = new HeldDevice(shared);
    device->Init(DescriptorFor(id, kPhilips, 0x0C1C, HIDUsageOther, 10, 10));
    ASSERT_TRUE(device->Connect());
    ASSERT_EQ(TovSim_OpenCount(id), 2) << "read and write handles";

    Send(id, Report(10, {{1, 0x80}, {9, 0x11}}));  // codes 3 and 5 pressed: two events
    ASSERT_TRUE(shared->entered.Wait()) << "the handler holds the reader at code 3";

    device->Disconnect();  // returns after the shortened bound
    EXPECT_FALSE(device->IsConnected());
    EXPECT_EQ(TovSim_OpenCount(id), 2) << "the reader still owns its handles";
    EXPECT_FALSE(device->Connect()) << "no second reader while the first one runs";
    EXPECT_EQ(TovSim_OpenCount(id), 2);
    ASSERT_TRUE(device->ReleaseWhenThreadsEnd([device, shared] {
        delete device;
        shared->deleted.Raise();
    }));

    // The reader goes on through the device's state, lock and owner, then ends and deletes it.
    shared->gate.Release(1);
    ASSERT_TRUE(shared->deleted.Wait());
    EXPECT_EQ(TovSim_OpenCount(id), 0) << "closed once the reader ended";
    {
        std::lock_guard<std::mutex> lock(shared->mutex);
        EXPECT_EQ(shared->events, (Events{{3, 1}, {5, 1}}));
    }

    // A reader that stops within the bound: nothing to hand over, the owner deletes the device.
    auto idle = std::make_shared<Shared>();
    std::unique_ptr<HeldDevice> stopped(new HeldDevice(idle));
    stopped->Init(DescriptorFor(id, kPhilips, 0x0C1C, HIDUsageOther, 10, 10));
    ASSERT_TRUE(stopped->Connect());
    stopped->Disconnect();
    EXPECT_EQ(TovSim_OpenCount(id), 0);
    EXPECT_FALSE(stopped->ReleaseWhenThreadsEnd([] {}));
}
