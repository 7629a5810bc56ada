// A connected device whose reader fails shows its box on the reader's thread; while the box is
// open, the server's DeleteDevice and ConnectDevice 0 hold the engine thread no longer than a
// normal stop, a new ConnectDevice opens a new reader, and once the boxes are dismissed the
// threads end and closing the session leaves none of ours. Native only: the bus makes a reader's
// wait fail through the descriptor limit, which has no counterpart for the events of Windows.
#include <chrono>
#include <string>
#include <thread>

#include "ProcessStats.h"
#include "SimModuleSession.h"

namespace {

using namespace ServerProxy;

constexpr ObjectHandle kDevice = 0x2000;
// Far above a normal stop (under 5 ms natively, see docs/PERFORMANCE.md, "The engine thread") and
// far below the 30 s a stop waited for a reader in its box: generous for a loaded 2-core machine
// under the sanitizers.
constexpr double kStopBoundUs = 2000 * 1000;

bool WaitForThreadsAtMost(int count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (ProcessThreads() > count) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::yield();
    }
    return true;
}

class ReaderBoxSession : public SimModuleSession {};

TEST_F(ReaderBoxSession, StopsDoNotWaitForTheBoxAndNoThreadOutlivesTheSession) {
    ASSERT_TRUE(RunOneThreadToItsEnd());  // what the runtime starts with a first thread is counted in
    const int threadsWithoutSession = ProcessThreads();  // the simulator's engine thread included
    bus.HoldMessageBoxes(1);
    const int id = bus.Plug("SpeechMikeIII");
    const USBButtonDeviceDescriptor descriptor = DescriptorOf("SpeechMikeIII", id);
    ASSERT_TRUE(Exchange(EncodeCreateDevice(kDevice)));
    ASSERT_TRUE(Exchange(EncodeInitDevice(kDevice, descriptor)));

    // ConnectDevice 0 with the reader in its box.
    ASSERT_TRUE(Exchange(EncodeConnectDevice(kDevice, true)));
    ASSERT_EQ(bus.BreakReaderWait(id), 1);
    ASSERT_EQ(bus.WaitForOpenMessageBox(1, 20000), 1);
    sim->ClearCallTimes();
    ASSERT_TRUE(Exchange(EncodeConnectDevice(kDevice, false)));
    const double disconnectUs = LongestCallUs(EncodeConnectDevice(kDevice, false));
    ASSERT_GE(disconnectUs, 0);
    EXPECT_LT(disconnectUs, kStopBoundUs);
    EXPECT_EQ(bus.OpenCount(id), 0);
    EXPECT_EQ(bus.OpenMessageBoxCount(), 1) << "the disconnect returned with the box open";

    // Connecting again while that box is open starts a new reader; DeleteDevice with it in its box.
    ASSERT_TRUE(Exchange(EncodeConnectDevice(kDevice, true)));
    EXPECT_EQ(bus.ReaderCount(id), 1);
    ASSERT_EQ(bus.BreakReaderWait(id), 1);
    ASSERT_EQ(bus.WaitForOpenMessageBox(2, 20000), 1);
    sim->ClearCallTimes();
    ASSERT_TRUE(Exchange(EncodeDeleteDevice(kDevice)));
    const double deleteUs = LongestCallUs(EncodeDeleteDevice(kDevice));
    ASSERT_GE(deleteUs, 0);
    EXPECT_LT(deleteUs, kStopBoundUs);
    EXPECT_EQ(bus.OpenCount(id), 0);
    EXPECT_EQ(bus.OpenMessageBoxCount(), 2);
    std::printf("engine thread held: ConnectDevice 0 %.1f us, DeleteDevice %.1f us (bound %.0f us)\n", disconnectUs,
                deleteUs, kStopBoundUs);

    // One box per failed reader, each with its text and caption, none from the engine thread.
    ASSERT_EQ(bus.MessageBoxCount(), 2);
    for (int i = 0; i < 2; ++i) {
        char text[512] = {0}, caption[64] = {0};
        unsigned type = 0;
        ASSERT_EQ(bus.GetMessageBox(i, text, sizeof(text), caption, sizeof(caption), &type), 1);
        EXPECT_STREQ(caption, "USBHIDManager");
        EXPECT_EQ(type, 0x10u);
        EXPECT_EQ(std::string(text).rfind("Reading from USB deviced failed: ", 0), 0u) << text;
    }

    EXPECT_GT(ProcessThreads(), threadsWithoutSession) << "the two box threads still run";
    bus.DismissMessageBoxes();
    EXPECT_TRUE(WaitForThreadsAtMost(threadsWithoutSession)) << ProcessThreads() << " threads";
    sim->Shutdown();  // VdClose, VdUnload, the engine thread ends
    EXPECT_TRUE(WaitForThreadsAtMost(threadsWithoutSession - 1)) << ProcessThreads() << " threads";
    EXPECT_EQ(bus.MessageBoxCount(), 2);
}

}  // namespace
