// A hidraw node number is not a device: the kernel gives a freed number to the next device. A
// descriptor the server initialised a device with names a hand-set's node; once a foot switch has
// that number, connecting must fail, and the foot switch's reports must never be decoded with the
// hand-set's table. Runs in the VM with the shipping driver (scripts/test-steps/vm.sh).
#include <gtest/gtest.h>

#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "DriverSession.h"
#include "SessionUser.h"
#include "MessageEncoder.h"
#include "UhidDevice.h"

using namespace uhidplayer;
using namespace vmtest;
using namespace std::chrono_literals;

namespace {

constexpr ObjectHandle kManager = 0x00C0FFE1;
constexpr auto kWait = 20s;


bool Listed(ObjectHandle manager, const std::string& node, USBButtonDeviceDescriptor& descriptor) {
    for (const USBButtonDeviceDescriptor& d : DriverSession::Get().List(manager)) {
        if (d.hidInfo.devicePath == node) {
            descriptor = d;
            return true;
        }
    }
    return false;
}

TEST(NodeIdentityVm, AFootSwitchOnTheHandSetsOldNodeIsNotConnectedWithTheHandSetsDescriptor) {
    using namespace ServerProxy;
    DriverSession& s = DriverSession::Get();
    ASSERT_TRUE(s.Started());
    ASSERT_TRUE(s.Command(EncodeCreateManager(kManager)));
    const ObjectHandle stale = 0x2600, fresh = 0x2601;

    // The hand-set at node N, listed and initialised; then it is unplugged.
    std::unique_ptr<UhidDevice> handset(new UhidDevice(*FindUhidModel("SpeechMikeIIPro"), 0));
    const std::string node = handset->WaitForNode(10s);
    ASSERT_FALSE(node.empty());
    ASSERT_TRUE(WaitUntilUsable(node, 20s)) << node << " never became the session user's";
    USBButtonDeviceDescriptor handsetDescriptor;
    ASSERT_TRUE(Listed(kManager, node, handsetDescriptor));
    ASSERT_EQ(handsetDescriptor.hidInfo.productID, 0x149A);
    ASSERT_TRUE(s.Command(EncodeCreateDevice(stale)));
    ASSERT_TRUE(s.Command(EncodeInitDevice(stale, handsetDescriptor)));
    handset->Destroy();
    ASSERT_TRUE(WaitUntil([&] { return access(("/sys/class/hidraw/" + node.substr(5)).c_str(), F_OK) != 0; }, kWait));

    // A foot switch gets node N.
    UhidDevice foot(*FindUhidModel("Footswitch"), 0);
    ASSERT_EQ(foot.WaitForNode(10s), node) << "the kernel gave the foot switch another node";
    ASSERT_TRUE(WaitUntilUsable(node, 20s)) << node << " never became the session user's";
    const size_t from = s.SentCount();

    // ConnectDevice with the hand-set's descriptor fails as an interface that cannot be opened: the
    // next command's reply proves it was handled, and nothing of ours is open on the node.
    s.Sim().QueueServerBlock(EncodeConnectDevice(stale, true));
    ASSERT_TRUE(s.Command(EncodeCreateDevice(fresh)));
    EXPECT_EQ(OpenOn(node), 0) << "the foot switch was opened for the hand-set's descriptor";
    // Pedals 7 and 5 (the foot switch's table); nobody may decode this report.
    foot.SendReport({0x00, 0x05});

    // The foot switch with its own listed descriptor connects and reports as itself: the first
    // ButtonEvents after the refused connect are the ones of this report, for this handle.
    USBButtonDeviceDescriptor footDescriptor;
    ASSERT_TRUE(Listed(kManager, node, footDescriptor));
    ASSERT_EQ(footDescriptor.hidInfo.productID, 0x091A);
    ASSERT_TRUE(s.Command(EncodeInitDevice(fresh, footDescriptor)));
    ASSERT_TRUE(s.Command(EncodeConnectDevice(fresh, true)));
    ASSERT_TRUE(WaitUntil([&] { return OpenOn(node) > 0; }, kWait));
    foot.SendReport({0x00, 0x05});
    std::vector<Bytes> events;
    ASSERT_TRUE(WaitUntil(
        [&] {
            events.clear();
            for (const Bytes& b : s.BlocksFrom(from)) {
                if (b.size() >= 8 && b[0] == 21) events.push_back(b);
            }
            return events.size() >= 2;
        },
        kWait));
    EXPECT_EQ(events, (std::vector<Bytes>{ButtonEventBytes(fresh, 7, 1), ButtonEventBytes(fresh, 5, 1)}));

    EXPECT_TRUE(s.Command(EncodeConnectDevice(fresh, false)));
    EXPECT_TRUE(s.Command(EncodeDeleteDevice(fresh)));
    EXPECT_TRUE(s.Command(EncodeDeleteDevice(stale)));
    EXPECT_TRUE(s.Command(EncodeDeleteManager(kManager)));
}

}  // namespace
