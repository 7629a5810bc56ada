// A reader that fails shows its box on its own thread after it counts as ended: closing,
// deleting or reopening the device while the box is open never waits for it, and the thread
// ends once the box is dismissed.
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "ProcessStats.h"
#include "SimBusTestSupport.h"

namespace {

constexpr int kBoxBoundMs = 20000;

class ReaderBox : public SimBusTest {
protected:
    void SetUp() override {
        SimBusTest::SetUp();
        TovSim_HoldMessageBoxes(1);
        ASSERT_TRUE(RunOneThreadToItsEnd());
        threadsBefore = ProcessThreads();
    }
    void TearDown() override {
        TovSim_HoldMessageBoxes(0);
        SimBusTest::TearDown();
    }

    // Opens device on a plugged hand-set whose report handler throws, and sends one report: the
    // reader ends with its box, which stays open.
    int OpenFailingReader(RecordingDevice& device) {
        const int id = TovSim_Plug("SpeechMike6264Slider");
        EXPECT_TRUE(device.UseInterface(id));
        device.throwInReport = true;
        EXPECT_TRUE(device.Open());
        const char report[3] = {0x01, 0x02, 0};
        EXPECT_EQ(TovSim_SendInputReport(id, report, sizeof(report)), 1);
        EXPECT_EQ(TovSim_WaitForOpenMessageBox(1, kBoxBoundMs), 1);
        return id;
    }

    // Waits (bounded) until the process has no more threads than before the test.
    bool ThreadsBackToBefore() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (ProcessThreads() > threadsBefore) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::yield();
        }
        return true;
    }

    int threadsBefore = 0;
};

TEST_F(ReaderBox, CloseAndDeleteReturnWhileTheBoxIsOpenAndTheThreadEndsWhenItIsDismissed) {
    std::unique_ptr<RecordingDevice> device(new RecordingDevice);
    const int id = OpenFailingReader(*device);
    ASSERT_EQ(TovSim_OpenMessageBoxCount(), 1);
    EXPECT_TRUE(device->WaitForReaderEnd(0)) << "the reader counts as ended while its box is open";
    EXPECT_GT(ProcessThreads(), threadsBefore) << "the box's thread still runs";

    device->Close();
    EXPECT_FALSE(device->IsOpen());
    EXPECT_EQ(TovSim_OpenCount(id), 0) << "Close released the handles";
    device.reset();
    EXPECT_EQ(TovSim_OpenMessageBoxCount(), 1) << "Close and delete returned with the box still open";

    TovSim_DismissMessageBoxes();
    EXPECT_TRUE(ThreadsBackToBefore()) << ProcessThreads() << " threads, " << threadsBefore << " before";
    const auto boxes = BoxTexts();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].rfind("USBHIDManager|16|Reading from USB deviced failed: ", 0), 0u) << boxes[0];
}

TEST_F(ReaderBox, DeletingAnOpenDeviceWithTheBoxOpenDoesNotWait) {
    std::unique_ptr<RecordingDevice> device(new RecordingDevice);
    const int id = OpenFailingReader(*device);
    device.reset();  // the destructor closes the open device
    EXPECT_EQ(TovSim_OpenCount(id), 0);
    EXPECT_EQ(TovSim_OpenMessageBoxCount(), 1);
    TovSim_DismissMessageBoxes();
    EXPECT_TRUE(ThreadsBackToBefore());
    EXPECT_EQ(TovSim_MessageBoxCount(), 1);
}

TEST_F(ReaderBox, ReopeningWhileTheOldBoxIsOpenStartsANewReader) {
    RecordingDevice device;
    const int id = OpenFailingReader(device);
    device.throwInReport = false;
    ASSERT_TRUE(device.Open());
    EXPECT_EQ(TovSim_ReaderCount(id), 1);
    const char report[3] = {0x01, 0x04, 0};
    ASSERT_EQ(TovSim_SendInputReport(id, report, sizeof(report)), 1);
    ASSERT_TRUE(device.WaitForReports(2)) << "the new reader delivers";
    EXPECT_EQ(TovSim_OpenMessageBoxCount(), 1) << "the old box is still open";

    // The old thread ending does not end or disturb the new reader.
    TovSim_DismissMessageBoxes();
    ASSERT_EQ(TovSim_SendInputReport(id, report, sizeof(report)), 1);
    ASSERT_TRUE(device.WaitForReports(3));
    EXPECT_FALSE(device.WaitForReaderEnd(0)) << "the new reader still runs";
    device.Close();
    EXPECT_TRUE(ThreadsBackToBefore());
    EXPECT_EQ(TovSim_MessageBoxCount(), 1);
}

}  // namespace
