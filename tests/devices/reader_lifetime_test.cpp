// Eight devices stopped at once, one reader stuck in its report handler and one LED write held by the
// device: the stop returns while both are still stuck (one deadline for all, no wait on a device),
// and what the stuck ones use lives until they let go. Run under AddressSanitizer (native-asan) and
// ThreadSanitizer (native-tsan).
#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <vector>

#include "SimDeviceSupport.h"

using namespace simtest;

namespace {

constexpr int32_t kPhilips = 0x0911;
constexpr int kDevices = 8;

// What the test shares with the devices and their readers, which may outlive the test's hold.
struct Shared {
    Shared() { gate.Create(0, 1); }
    CSemaphoreClass gate{"", false};  // the held device's handler waits for it
    Signal entered;                   // raised as the held device's handler starts
    Signal deleted;                   // raised by each device's destructor
    std::mutex mutex;
    Events events;  // guarded by mutex
};

// Its report handler holds the reader at the first event while holdFirst is set.
class HeldDevice : public CUSBButtonDevice {
public:
    HeldDevice(std::shared_ptr<Shared> shared, bool holdFirst) : shared(std::move(shared)), holdFirst(holdFirst) {}
    ~HeldDevice() override {
        Disconnect();
        shared->deleted.Raise();
    }
    void OnButtonPressed(const int32_t& code, const int32_t& pressed) override {
        {
            std::lock_guard<std::mutex> lock(shared->mutex);
            shared->events.emplace_back(code, pressed);
        }
        if (!holdFirst) return;
        holdFirst = false;
        shared->entered.Raise();
        shared->gate.Wait(CSemaphoreClass::kInfinite);
    }

private:
    std::shared_ptr<Shared> shared;
    bool holdFirst;  // reader thread only
};

}  // namespace

// The test's thread plays the engine thread: it stops the devices as VdUnload does.
TEST_F(BusTest, EightDevicesStopAtOnceWhileOneReaderAndOneWriteAreStuck) {
    auto shared = std::make_shared<Shared>();
    std::vector<int> ids;
    std::vector<std::shared_ptr<HeldDevice>> devices;
    for (int i = 0; i < kDevices; ++i) {
        ids.push_back(Plug("SpeechMikeIII"));
        devices.push_back(std::make_shared<HeldDevice>(shared, i == 0));
        devices.back()->Init(DescriptorFor(ids.back(), kPhilips, 0x0C1C, HIDUsageOther, 10, 10));
        ASSERT_TRUE(devices.back()->Connect());
    }
    Send(ids[0], Report(10, {{1, 0x80}, {9, 0x01}}));  // code 3 pressed: the handler holds the reader
    ASSERT_TRUE(shared->entered.Wait()) << "the handler never ran";
    ASSERT_EQ(TovSim_HoldWrites(ids[1], 1), 1);
    std::vector<std::string> failures;
    devices[1]->QueueLEDs({LEDSetting{0, 1}}, [&failures](const std::string* failure) {
        if (failure) failures.push_back(*failure);
    });
    ASSERT_EQ(TovSim_WaitForHeldWrites(1, kEventWaitMs), 1) << "the LED report never reached the device";

    for (auto& device : devices) device->RequestDisconnect();
    const StopDeadline deadline = StopDeadlineFromNow();
    for (auto& device : devices) device->WaitForDisconnect(deadline);
    // Back while the handler still holds its reader: nothing waited for it.
    EXPECT_EQ(TovSim_CancelledWriteCount(), 1) << "the held write was cancelled, not waited for";
    EXPECT_EQ(failures, std::vector<std::string>{"WriteFile to " + devices[1]->GetDescriptor().hidInfo.devicePath +
                                                 " failed"});
    EXPECT_EQ(TovSim_OpenCount(ids[0]), 2) << "the stuck reader still holds its handles";
    for (int i = 1; i < kDevices; ++i) EXPECT_EQ(TovSim_OpenCount(ids[i]), 0) << "device " << i;

    // The test lets go of every device: seven go at once, the held one when its reader lets go.
    std::weak_ptr<HeldDevice> held = devices[0];
    devices.clear();
    ASSERT_TRUE(shared->deleted.Wait(kDevices - 1));
    EXPECT_FALSE(held.expired()) << "the stuck reader holds its device";
    shared->gate.Release(1);
    ASSERT_TRUE(shared->deleted.Wait());
    EXPECT_EQ(TovSim_OpenCount(ids[0]), 0) << "closed by the reader as it let go";
    std::lock_guard<std::mutex> lock(shared->mutex);
    EXPECT_EQ(shared->events, (Events{{3, 1}})) << "nothing after the stop";
}
