// One HID device against the simulated bus: opening, the reader thread, writing, assignment.
#include <string>
#include <thread>
#include <vector>

#include "ProcessStats.h"
#include "SimBusTestSupport.h"

namespace {

const char* const kMissingPath = "\\\\?\\hid#vid_dead&pid_beef#nothing&0#{4d1e55b2-f16f-11cf-88cb-001111000030}";

std::string ThrownBy(CUSBHIDDevice& device, const std::vector<char>* write = nullptr) {
    try {
        if (write) {
            device.Write(*write);
        } else {
            device.Open();
        }
    } catch (const std::string& text) {
        return text;
    }
    return "(nothing thrown)";
}

// The assignment under test is the HID device's own.
CUSBHIDDevice& AsBase(CUSBHIDDevice& device) { return device; }

class HIDDevice : public SimBusTest {};

TEST_F(HIDDevice, OpenFailuresThrowTheirTextsAndLeaveNothingOpen) {
    RecordingDevice missing;
    missing.Info().devicePath = kMissingPath;
    missing.Info().inputReportByteLength = 10;
    EXPECT_EQ(ThrownBy(missing), std::string("CreateFile of ") + kMissingPath + " for reading failed");
    EXPECT_FALSE(missing.IsOpen());

    const int id = TovSim_PlugCustom(0x0911, 0x0C1C, 0x0100, 0xFFA0, 1, 10, 10);
    RecordingDevice readOnly;
    ASSERT_TRUE(readOnly.UseInterface(id));
    TovSim_FailNextOpen(id, TOVSIM_FAIL_WRITE_OPEN);
    EXPECT_EQ(ThrownBy(readOnly), "CreateFile of " + PathOf(id) + " for writing failed");
    EXPECT_FALSE(readOnly.IsOpen());
    EXPECT_EQ(TovSim_OpenCount(id), 0) << "the read handle of the failed open is released";

    RecordingDevice refused;
    ASSERT_TRUE(refused.UseInterface(id));
    TovSim_FailNextOpen(id, TOVSIM_FAIL_READ_OPEN);
    EXPECT_EQ(ThrownBy(refused), "CreateFile of " + PathOf(id) + " for reading failed");

    // The refusals were used up: the same device opens now.
    EXPECT_TRUE(refused.Open());
    EXPECT_TRUE(refused.IsOpen());
    EXPECT_EQ(TovSim_ReaderCount(id), 1);
}

TEST_F(HIDDevice, ReportsArriveWithTheInputLengthOnTheReaderThread) {
    const int id = TovSim_Plug("SpeechMikeIII");
    ASSERT_NE(id, 0);
    RecordingDevice device;
    ASSERT_TRUE(device.UseInterface(id));
    ASSERT_EQ(device.Info().inputReportByteLength, 10);
    ASSERT_TRUE(device.Open());

    const char full[10] = {0x05, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    const char shorter[3] = {0x07, 0x11, 0x22};
    ASSERT_EQ(TovSim_SendInputReport(id, full, sizeof(full)), 1);
    ASSERT_EQ(TovSim_SendInputReport(id, shorter, sizeof(shorter)), 1);
    EXPECT_EQ(TovSim_SendInputReport(id, full, 11), -1) << "longer than the device's reports";
    ASSERT_TRUE(device.WaitForReports(2));

    const auto reports = device.Reports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0], std::vector<char>(full, full + 10));
    // A short read is delivered zero-padded to the full length, report ID first.
    EXPECT_EQ(reports[1], (std::vector<char>{0x07, 0x11, 0x22, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(TovSim_DeliveredReportCount(id), 2);
    device.Close();
    EXPECT_FALSE(device.IsOpen());
    EXPECT_EQ(TovSim_OpenCount(id), 0);
}

TEST_F(HIDDevice, WriteChecksTheOutputLengthAndSendsOneReport) {
    const int id = TovSim_Plug("SpeechMikeIIPro");
    RecordingDevice device;
    ASSERT_TRUE(device.UseInterface(id));
    const std::vector<char> exact = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};

    EXPECT_EQ(ThrownBy(device, &exact), "Invalid file handle. Can not write to this device") << "closed device";
    ASSERT_TRUE(device.Open());

    const std::vector<char> shorter(9, 1), longer(11, 1);
    EXPECT_EQ(ThrownBy(device, &shorter), "Too small buffer (only 9 bytes) to send. Required size is 10 bytes");
    EXPECT_EQ(ThrownBy(device, &longer), "Too big buffer (11 bytes) to send. Required size is 10 bytes");
    EXPECT_EQ(TovSim_OutputReportCount(id), 0);

    device.Write(exact);
    char written[64] = {0};
    ASSERT_EQ(TovSim_ReadOutputReport(id, written, sizeof(written)), 10);
    EXPECT_EQ(std::vector<char>(written, written + 10), exact);

    TovSim_Unplug(id);
    EXPECT_EQ(ThrownBy(device, &exact), "WriteFile to " + device.Info().devicePath + " failed");
}

TEST_F(HIDDevice, CloseWhileTheReaderWaitsEndsItWithoutAReport) {
    const int id = TovSim_Plug("Footswitch");
    RecordingDevice device;
    ASSERT_TRUE(device.UseInterface(id));
    device.Close();  // closed: nothing happens
    EXPECT_FALSE(device.IsOpen());

    // The first rounds warm up whatever the system allocates once (thread pools, pipe server).
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(device.Open());
        device.Close();
    }
    const int handlesBefore = ProcessHandles();
    const int threadsBefore = ProcessThreads();
    for (int i = 0; i < 1000; ++i) {
        ASSERT_TRUE(device.Open());
        if (i % 2) std::this_thread::yield();  // let the reader reach its wait in some rounds
        device.Close();
        ASSERT_FALSE(device.IsOpen());
    }
    EXPECT_TRUE(device.Reports().empty());
    EXPECT_EQ(TovSim_OpenCount(id), 0);
    EXPECT_LE(ProcessHandles(), handlesBefore + 2) << "handles leak per open";
    EXPECT_LE(ProcessThreads(), threadsBefore + 1) << "reader threads are left behind";
    EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(HIDDevice, UnplugEndsTheReaderButTheDeviceStaysOpenUntilClose) {
    const int id = TovSim_Plug("SpeechMikeAir");
    RecordingDevice device;
    ASSERT_TRUE(device.UseInterface(id));
    ASSERT_TRUE(device.Open());
    const char report[4] = {0x01, 0, 0, 0x20};
    ASSERT_EQ(TovSim_SendInputReport(id, report, sizeof(report)), 1);
    ASSERT_TRUE(device.WaitForReports(1));

    ASSERT_EQ(TovSim_Unplug(id), 1);
    EXPECT_TRUE(device.WaitForReaderEnd(kReaderEndBound));
    EXPECT_TRUE(device.IsOpen());
    EXPECT_EQ(device.Reports().size(), 1u) << "the broken read is no report";
    device.Close();
    EXPECT_FALSE(device.IsOpen());
    EXPECT_TRUE(BoxTexts().empty());
}

// A read that completes with an error must not reach OnReport as a zero-filled report.
TEST_F(HIDDevice, ABrokenReadIsNotDeliveredAndEndsTheReader) {
    const int id = TovSim_Plug("SonicMicIIClassic");
    for (int round = 0; round < 20; ++round) {
        RecordingDevice device;
        ASSERT_TRUE(device.UseInterface(id));
        ASSERT_TRUE(device.Open());
        const char report[9] = {0x02, 0, 0, 0, 0, 0, 0, 1, 0};
        ASSERT_EQ(TovSim_SendInputReport(id, report, sizeof(report)), 1);
        ASSERT_TRUE(device.WaitForReports(1));
        std::this_thread::yield();  // the reader issues its next read after OnReport returned
        ASSERT_EQ(TovSim_BreakPendingRead(id), 1);
        ASSERT_TRUE(device.WaitForReaderEnd(kReaderEndBound));
        const auto reports = device.Reports();
        ASSERT_EQ(reports.size(), 1u) << "round " << round;
        EXPECT_EQ(reports[0], std::vector<char>(report, report + 9));
        EXPECT_TRUE(device.IsOpen());
        // The device itself is still plugged: opening again reads again.
        ASSERT_TRUE(device.Open());
        ASSERT_EQ(TovSim_SendInputReport(id, report, sizeof(report)), 1);
        ASSERT_TRUE(device.WaitForReports(2));
    }
}

// Close cancels the outstanding read and waits for it, so nothing lands in a released buffer
// and nothing reaches OnReport after Close returned, however reports and Close interleave.
TEST_F(HIDDevice, ReportsRacingCloseNeverArriveAfterClose) {
    const int id = TovSim_Plug("SpeechMikeIPro");
    RecordingDevice device;
    ASSERT_TRUE(device.UseInterface(id));
    const char report[3] = {0x01, 0x20, 0};
    for (int round = 0; round < 200; ++round) {
        ASSERT_TRUE(device.Open());
        std::thread sender([id, &report] {
            for (int i = 0; i < 5; ++i) TovSim_SendInputReport(id, report, sizeof(report));
        });
        device.Close();
        const size_t afterClose = device.Reports().size();
        sender.join();
        TovSim_SendInputReport(id, report, sizeof(report));
        EXPECT_EQ(device.Reports().size(), afterClose);
    }
    for (const auto& delivered : device.Reports()) EXPECT_EQ(delivered, std::vector<char>(report, report + 3));
}

TEST_F(HIDDevice, AssigningAnOpenDeviceOpensTheTargetWithItsOwnReader) {
    const int id = TovSim_Plug("FirestormGamepad");
    RecordingDevice source, target;
    ASSERT_TRUE(source.UseInterface(id));
    ASSERT_TRUE(source.Open());
    AsBase(target) = target;  // self-assignment: nothing
    EXPECT_FALSE(target.IsOpen());

    AsBase(target) = source;
    EXPECT_TRUE(source.IsOpen());
    EXPECT_TRUE(target.IsOpen());
    EXPECT_EQ(target.Info().devicePath, source.Info().devicePath);
    EXPECT_EQ(target.Info().inputReportByteLength, 8);
    EXPECT_EQ(TovSim_ReaderCount(id), 2);

    const char report[8] = {0x01, 0, 0, 0x04, 0, 0, 0, 0};
    ASSERT_EQ(TovSim_SendInputReport(id, report, sizeof(report)), 2);
    ASSERT_TRUE(source.WaitForReports(1));
    ASSERT_TRUE(target.WaitForReports(1));

    // Closing one leaves the other reading.
    source.Close();
    ASSERT_EQ(TovSim_SendInputReport(id, report, sizeof(report)), 1);
    ASSERT_TRUE(target.WaitForReports(2));
    EXPECT_EQ(source.Reports().size(), 1u);

    // Assigning a closed device closes the target and copies the record.
    RecordingDevice closed;
    closed.Info().devicePath = "other";
    AsBase(target) = closed;
    EXPECT_FALSE(target.IsOpen());
    EXPECT_EQ(target.Info().devicePath, "other");
    EXPECT_EQ(TovSim_ReaderCount(id), 0);
}

TEST_F(HIDDevice, OpenOnAnOpenDeviceReopensIt) {
    const int id = TovSim_Plug("FootswitchLFH0210");
    RecordingDevice device;
    ASSERT_TRUE(device.UseInterface(id));
    ASSERT_TRUE(device.Open());
    ASSERT_TRUE(device.Open());
    EXPECT_EQ(TovSim_ReaderCount(id), 1);
    EXPECT_EQ(TovSim_OpenCount(id), 2);  // one read and one write handle
    const char report[2] = {0x01, 0x04};
    ASSERT_EQ(TovSim_SendInputReport(id, report, sizeof(report)), 1);
    ASSERT_TRUE(device.WaitForReports(1));
}

TEST_F(HIDDevice, AnExceptionFromOnReportEndsTheReaderWithTheBox) {
    const int id = TovSim_Plug("SpeechMike6264Slider");
    RecordingDevice device;
    ASSERT_TRUE(device.UseInterface(id));
    device.throwInReport = true;
    ASSERT_TRUE(device.Open());
    const char report[3] = {0x01, 0x02, 0};
    ASSERT_EQ(TovSim_SendInputReport(id, report, sizeof(report)), 1);
    ASSERT_TRUE(device.WaitForReaderEnd(kReaderEndBound));
    EXPECT_TRUE(device.IsOpen());
    ASSERT_TRUE(WaitForBoxes(1));
    const auto boxes = BoxTexts();
    ASSERT_EQ(boxes.size(), 1u);
    // Caption, MB_ICONERROR, and the system's text for the last error after the prefix.
    EXPECT_EQ(boxes[0].rfind("USBHIDManager|16|Reading from USB deviced failed: ", 0), 0u) << boxes[0];
    EXPECT_EQ(TovSim_SendInputReport(id, report, sizeof(report)), 1) << "the handle stays open until Close";
    EXPECT_EQ(device.Reports().size(), 1u);
}

}  // namespace
