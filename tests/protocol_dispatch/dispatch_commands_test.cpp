// Commands that need no device, through the real driver module in the simulated ICA Client: the
// registry, the replies byte for byte and the trace lines of each command.
#include <gtest/gtest.h>

#include "DispatchSession.h"
#include "MessageEncoder.h"

using namespace dispatchtest;
using namespace ServerProxy;

namespace {

constexpr ObjectHandle kManager = 0x00101000;
constexpr ObjectHandle kDevice = 0x00202000;
constexpr ObjectHandle kOther = 0x00303000;

using Traces = std::vector<Trace>;

std::string H(ObjectHandle handle) { return HandleText(handle); }

class Commands : public DispatchTest {};

}  // namespace

TEST_F(Commands, CreateAndDeleteAnswerWithTheirHandleAndTrace) {
    EXPECT_EQ(S().Command(EncodeCreateManager(kManager)),
              (Bytes{0x02, 0, 0, 0, 0x00, 0x10, 0x10, 0x00}));
    EXPECT_EQ(S().Traces(), (Traces{Info("Creating new manager for " + H(kManager))}));
    EXPECT_EQ(S().Command(EncodeCreateDevice(kDevice)), (Bytes{0x0A, 0, 0, 0, 0x00, 0x20, 0x20, 0x00}));
    EXPECT_EQ(S().Traces(), (Traces{Info("Creating new device for " + H(kDevice))}));
    EXPECT_EQ(S().Command(EncodeDeleteDevice(kDevice)), (Bytes{0x0C, 0, 0, 0, 0x00, 0x20, 0x20, 0x00}));
    EXPECT_EQ(S().Traces(), (Traces{Info("Deleting device for " + H(kDevice))}));
    EXPECT_EQ(S().Command(EncodeDeleteManager(kManager)), (Bytes{0x04, 0, 0, 0, 0x00, 0x10, 0x10, 0x00}));
    EXPECT_EQ(S().Traces(), (Traces{Info("Deleting manager for " + H(kManager))}));
}

TEST_F(Commands, DeletingWhatWasNeverCreatedIsTracedAndStillAnswered) {
    EXPECT_EQ(S().Command(EncodeDeleteDevice(kOther)), Reply(MessageType::DeleteDeviceReply, kOther));
    EXPECT_EQ(S().Traces(), (Traces{Info("Deleting device for " + H(kOther)),
                                    Error("Could not find/delete device for " + H(kOther))}));
    EXPECT_EQ(S().Command(EncodeDeleteManager(kOther)), Reply(MessageType::DeleteManagerReply, kOther));
    EXPECT_EQ(S().Traces(), (Traces{Info("Deleting manager for " + H(kOther)),
                                    Error("Could not find/delete manager for " + H(kOther))}));
}

// Two managers under one handle: each delete removes one (the first created), the third finds none.
// Managers and devices are separate registries: a device with the same handle is not a manager.
TEST_F(Commands, DuplicateHandlesAreDeletedOneAtATime) {
    CreateManager(kManager);
    CreateManager(kManager);
    CreateDevice(kManager);
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(S().Command(EncodeDeleteManager(kManager)), Reply(MessageType::DeleteManagerReply, kManager));
        EXPECT_EQ(S().Traces(), (Traces{Info("Deleting manager for " + H(kManager))})) << round;
        ForgetManager(kManager);
    }
    EXPECT_EQ(S().Command(EncodeDeleteManager(kManager)), Reply(MessageType::DeleteManagerReply, kManager));
    EXPECT_EQ(S().Traces().back(), Error("Could not find/delete manager for " + H(kManager)));
    // The device under that handle is still there.
    EXPECT_EQ(S().Command(EncodeConnectDevice(kManager, false)), Reply(MessageType::ConnectDeviceReply, kManager));
    EXPECT_EQ(S().Traces(), (Traces{Info("Disconnect device " + H(kManager))}));
}

TEST_F(Commands, ListingForAnUnknownManagerAnswersAnEmptyList) {
    CreateDevice(kOther);  // a device is not a manager
    EXPECT_EQ(S().Command(EncodeGetConnectedDevices(kOther)),
              (Bytes{0x06, 0, 0, 0, 0x00, 0x30, 0x30, 0x00, 0, 0, 0, 0}));
    EXPECT_EQ(S().Traces(), (Traces{Info("Getting connected devices for " + H(kOther)),
                                    Error("Could not find manager for " + H(kOther))}));
}

TEST_F(Commands, DeviceCommandsForAnUnknownDeviceReadTheirBodyTraceAndAnswer) {
    USBButtonDeviceDescriptor descriptor;
    descriptor.id = 7;
    descriptor.name = "Philips Footswitch";
    EXPECT_EQ(S().Command(EncodeInitDevice(kOther, descriptor)), Reply(MessageType::InitDeviceReply, kOther));
    EXPECT_EQ(S().Traces(), (Traces{Info("Init with device 7, Philips Footswitch"),
                                    Error("Could not find device for " + H(kOther))}));

    EXPECT_EQ(S().Command(EncodeSetLEDs(kOther, {{11, 1}, {2, 0}})), Reply(MessageType::SetLEDsReply, kOther));
    EXPECT_EQ(S().Traces(), (Traces{Info("SetLEDs with device " + H(kOther)),
                                    Error("Could not find device for " + H(kOther))}));

    EXPECT_EQ(S().Command(EncodeConnectDevice(kOther, true)), Reply(MessageType::ConnectDeviceReply, kOther));
    EXPECT_EQ(S().Traces(), (Traces{Info("Connect device " + H(kOther)),
                                    Error("Could not find device for " + H(kOther))}));

    EXPECT_EQ(S().Command(EncodeAssignDevice(kOther, kDevice)), Reply(MessageType::AssignDeviceReply, kOther));
    EXPECT_EQ(S().Traces(), (Traces{Info("Assigning device " + H(kDevice) + " to " + H(kOther)),
                                    Error("Could not find device for " + H(kOther)),
                                    Error("Could not find device for " + H(kDevice))}));
}

TEST_F(Commands, AssignmentLooksUpTargetThenSourceAndAcceptsItself) {
    CreateDevice(kDevice);
    EXPECT_EQ(S().Command(EncodeAssignDevice(kDevice, kDevice)), Reply(MessageType::AssignDeviceReply, kDevice));
    EXPECT_EQ(S().Traces(), (Traces{Info("Assigning device " + H(kDevice) + " to " + H(kDevice))}));
    EXPECT_EQ(S().Command(EncodeAssignDevice(kDevice, kOther)), Reply(MessageType::AssignDeviceReply, kDevice));
    EXPECT_EQ(S().Traces(), (Traces{Info("Assigning device " + H(kOther) + " to " + H(kDevice)),
                                    Error("Could not find device for " + H(kOther))}));
    EXPECT_EQ(S().Command(EncodeAssignDevice(kOther, kDevice)), Reply(MessageType::AssignDeviceReply, kOther));
    EXPECT_EQ(S().Traces(), (Traces{Info("Assigning device " + H(kDevice) + " to " + H(kOther)),
                                    Error("Could not find device for " + H(kOther))}));
}

// A source handle that is not in the message names nobody, not even a device registered as 0.
TEST_F(Commands, AssignmentWithoutItsSourceFindsNoSource) {
    CreateDevice(0);
    CreateDevice(kDevice);
    for (const Bytes& block : {Header(13, kDevice), Join(Header(13, kDevice), Bytes{0, 0})}) {
        EXPECT_EQ(S().Command(block), Reply(MessageType::AssignDeviceReply, kDevice));
        EXPECT_EQ(S().Traces(), (Traces{Info("Assigning device " + H(0) + " to " + H(kDevice)),
                                        Error("Could not find device for " + H(0))}));
    }
}

// Only the server's commands are executed; the client's own codes and everything else are unknown.
TEST_F(Commands, EveryCodeThatIsNoCommandIsAnUnknownMessageWithoutReply) {
    const uint32_t codes[] = {0, 2, 4, 6, 7, 8, 10, 12, 14, 16, 18, 20, 21, 22, 23, 0x101, 0x80000001u, 0xFFFFFFFFu};
    for (uint32_t code : codes) {
        EXPECT_TRUE(S().CommandWithoutWaiting(Join(Header(code, kDevice), Bytes(20, 1))).empty()) << code;
        EXPECT_EQ(S().Traces(),
                  (Traces{Error("Unknown message from server " + std::to_string(static_cast<int32_t>(code)) +
                                " received")}))
            << code;
    }
}

TEST_F(Commands, RepliesRepeatAnyHandleAsReceived) {
    for (ObjectHandle handle : {0u, 1u, 0x80000000u, 0xFFFFFFFFu}) {
        CreateDevice(handle);
        CreateManager(handle);
        EXPECT_EQ(S().Command(EncodeConnectDevice(handle, false)), Reply(MessageType::ConnectDeviceReply, handle));
        EXPECT_EQ(S().Command(EncodeGetConnectedDevices(handle)),
                  Join(Reply(MessageType::GetConnectedDevicesReply, handle), Bytes{0, 0, 0, 0}));
        EXPECT_EQ(S().Traces(), (Traces{Info("Getting connected devices for " + H(handle))}));
    }
}

// Each block is one message: what follows the last field is ignored, also a second message.
TEST_F(Commands, BytesAfterTheLastFieldAreIgnored) {
    EXPECT_EQ(S().CommandWithoutWaiting(Join(EncodeCreateDevice(kDevice), EncodeCreateDevice(kOther))),
              (std::vector<Bytes>{Reply(MessageType::CreateDeviceReply, kDevice)}));
    EXPECT_EQ(S().Traces(), (Traces{Info("Creating new device for " + H(kDevice))}));
    EXPECT_EQ(S().Command(Join(EncodeConnectDevice(kDevice, false), Bytes{1, 1, 1})),
              Reply(MessageType::ConnectDeviceReply, kDevice));
    EXPECT_EQ(S().Traces(), (Traces{Info("Disconnect device " + H(kDevice))}));
    EXPECT_EQ(S().Command(Join(EncodeDeleteDevice(kDevice), Bytes(300, 0xEE))),
              Reply(MessageType::DeleteDeviceReply, kDevice));
    EXPECT_EQ(S().Traces(), (Traces{Info("Deleting device for " + H(kDevice))}));
    EXPECT_EQ(S().Command(EncodeDeleteDevice(kOther)), Reply(MessageType::DeleteDeviceReply, kOther));
    EXPECT_EQ(S().Traces().back(), Error("Could not find/delete device for " + H(kOther)));
}
