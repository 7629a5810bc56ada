// Messages the server should never send: too short for a header, bodies cut short, strings with
// zero bytes, lengths and counts the message cannot carry. Each is answered as far as it can be
// read, and nothing of it reaches the ICA Client as a failure.
#include <gtest/gtest.h>

#include "DispatchSession.h"
#include "MessageEncoder.h"

using namespace dispatchtest;
using namespace ServerProxy;

namespace {

constexpr ObjectHandle kDevice = 0x0A0B0C0D;

using Traces = std::vector<Trace>;

class Malformed : public DispatchTest {};

// An InitDevice body: id, name, then the HID record with every string empty except the path.
Bytes InitBody(int32_t id, const Bytes& nameField, const std::string& path) {
    Bytes body;
    Put32(body, static_cast<uint32_t>(id));
    body.insert(body.end(), nameField.begin(), nameField.end());
    PutString(body, path);
    for (int i = 0; i < 4; ++i) Put32(body, 0);
    PutString(body, "");
    Put32(body, 0);
    Put32(body, 0);
    return body;
}

}  // namespace

TEST_F(Malformed, BlocksTooShortForAHeaderAreTracedWithTheirBytes) {
    struct Case {
        Bytes block;
        std::string line;
    };
    const Case cases[] = {
        {{}, "Received an invalid message from server: bufferSize = 0, buffer = "},
        {{0x01, 0x80, 0xFF}, "Received an invalid message from server: bufferSize = 3, buffer = 01,-128,-1"},
        {{0x09, 0, 0, 0}, "Received an invalid message (no thisPtr) from server: bufferSize = 4, buffer = 09,00,00,00"},
        {{0x01, 0, 0, 0, 0x7F, 0x10, 0xF0},
         "Received an invalid message (no thisPtr) from server: bufferSize = 7, buffer = 01,00,00,00,127,16,-16"},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(S().CommandWithoutWaiting(c.block).empty()) << c.line;
        EXPECT_EQ(S().Traces(), (Traces{Error(c.line)}));
        // The hook saw the block and answered success.
        std::vector<enginesim::HookRecord> hooks = S().Sim().HookCalls();
        ASSERT_GE(hooks.size(), 2u);
        EXPECT_EQ(hooks[hooks.size() - 2].length, c.block.size());
        EXPECT_EQ(hooks[hooks.size() - 2].rc, 0);
    }
}

TEST_F(Malformed, ConnectWithoutItsFlagIsADisconnect) {
    CreateDevice(kDevice);
    EXPECT_EQ(S().Command(Header(19, kDevice)), Reply(MessageType::ConnectDeviceReply, kDevice));
    EXPECT_EQ(S().Traces(), (Traces{Info("Disconnect device " + HandleText(kDevice))}));
    // Any non-zero flag connects: the device was never initialised, so opening fails without reply.
    EXPECT_TRUE(S().CommandWithoutWaiting(Join(Header(19, kDevice), Bytes{0x80})).empty());
    Traces traces = S().Traces();
    ASSERT_EQ(traces.size(), 2u);
    EXPECT_EQ(traces[0], Info("Connect device " + HandleText(kDevice)));
    EXPECT_TRUE(traces[1].error);
    EXPECT_EQ(traces[1].message, "CreateFile of  for reading failed");
}

TEST_F(Malformed, AZeroByteEndsANameButTheWholeLengthIsConsumed) {
    Bytes name;
    PutString(name, std::string("Foot\0switch", 11));
    EXPECT_EQ(S().Command(Join(Header(15, kDevice), InitBody(3, name, "path"))),
              Reply(MessageType::InitDeviceReply, kDevice));
    EXPECT_EQ(S().Traces(), (Traces{Info("Init with device 3, Foot"),
                                    Error("Could not find device for " + HandleText(kDevice))}));
}

// A length or count beyond the message is a failed read: nothing is allocated for it, the command
// goes on with what was read and is answered.
TEST_F(Malformed, LengthsAndCountsBeyondTheMessageAreFailedReads) {
    CreateDevice(kDevice);
    Bytes hugeName;
    Put32(hugeName, 0xFFFFFFFFu);
    EXPECT_EQ(S().Command(Join(Header(15, kDevice), InitBody(9, hugeName, "p"))),
              Reply(MessageType::InitDeviceReply, kDevice));
    EXPECT_EQ(S().Traces(), (Traces{Info("Init with device 9, ")}));

    Bytes almost;
    Put32(almost, 0x7FFFFFF0u);
    almost.insert(almost.end(), {'a', 'b'});
    EXPECT_EQ(S().Command(Join(Header(15, kDevice), InitBody(10, almost, ""))),
              Reply(MessageType::InitDeviceReply, kDevice));
    ASSERT_EQ(S().Traces().size(), 1u);
    EXPECT_EQ(S().Traces()[0].message.rfind("Init with device 10, ", 0), 0u);

    for (uint32_t count : {0xFFFFFFFFu, 0x20000000u, 2u}) {
        Bytes block = Header(17, kDevice);
        Put32(block, count);
        Put32(block, 11);  // one pair at most follows
        Put32(block, 1);
        // The device was never initialised: it has no model to build LED reports for.
        EXPECT_EQ(S().CommandWithoutWaiting(block), (std::vector<Bytes>{Reply(MessageType::SetLEDsReply, kDevice)}))
            << count;
        EXPECT_EQ(S().Traces(), (Traces{Info("SetLEDs with device " + HandleText(kDevice))})) << count;
    }
}

TEST_F(Malformed, CutBodiesOfAnUnknownDeviceStillGetTheirReply) {
    const Bytes cuts[] = {
        Header(15, kDevice),                                   // InitDevice without descriptor
        Join(Header(15, kDevice), Bytes{5, 0, 0, 0, 9, 0}),    // id, then a cut length
        Header(17, kDevice),                                   // SetLEDs without count
        Join(Header(17, kDevice), Bytes{3, 0, 0, 0}),          // count only
        Join(Header(17, kDevice), Bytes{1, 0, 0, 0, 2, 0, 0}),  // a cut pair
    };
    const uint32_t replies[] = {16, 16, 18, 18, 18};
    for (size_t i = 0; i < sizeof replies / sizeof replies[0]; ++i) {
        EXPECT_EQ(S().Command(cuts[i]), Header(replies[i], kDevice)) << i;
        Traces traces = S().Traces();
        ASSERT_EQ(traces.size(), 2u) << i;
        EXPECT_EQ(traces[1], Error("Could not find device for " + HandleText(kDevice))) << i;
    }
    EXPECT_EQ(S().Traces()[0], Info("SetLEDs with device " + HandleText(kDevice)));
}
