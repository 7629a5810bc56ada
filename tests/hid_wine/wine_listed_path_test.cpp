// The shipping HID backend on Wine's HID stack opens a path only when SetupAPI lists it: Wine's
// own interfaces open, every other path is refused without a single open of the process's code
// (its import table's CreateFile entries are spied on), in the HID layer as in the shipping module.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "HIDRecorders.h"
#include "MessageEncoder.h"
#include "ModuleSession.h"
#include "OpenSpy.h"
#include "USBHIDDevice.h"
#include "WineHidFixture.h"

using namespace winehid;

namespace {

std::vector<std::string> UnlistedPaths(const std::string& listed) {
    std::string oneOff = listed;
    oneOff[oneOff.size() - 2] = oneOff[oneOff.size() - 2] == '0' ? '1' : '0';  // a digit of the class GUID
    return {"\\\\127.0.0.1\\c$\\x", "\\\\?\\UNC\\host\\s\\x", "\\\\.\\pipe\\x", "C:\\Windows\\win.ini",
            "\\\\?\\hid#vid_0911&pid_0c1c#1&2&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}",  // not plugged
            oneOff};
}

class WineListedPath : public WineHidTest {
protected:
    void TearDown() override {
        UninstallOpenSpy();
        WineHidTest::TearDown();
    }
};

TEST_F(WineListedPath, TheHIDLayerOpensWinesInterfacesAndNothingElse) {
    ASSERT_FALSE(Present().empty());
    const std::string listed = LowerCaseForTest(Present().front().path);
    ASSERT_TRUE(InstallOpenSpy(GetModuleHandleA(nullptr)));
    for (const std::string& path : UnlistedPaths(listed)) {
        RecordingHIDDevice device;
        device.Info().devicePath = path;
        device.Info().inputReportByteLength = 8;
        try {
            device.Open();
            ADD_FAILURE() << path << " was opened";
        } catch (const std::string& text) {
            EXPECT_EQ(text, "CreateFile of " + path + " for reading failed");
        }
    }
    const std::vector<std::string> beforeListed = SpiedOpens();
    EXPECT_TRUE(beforeListed.empty()) << beforeListed.front();

    RecordingHIDDevice device;
    device.Info().devicePath = listed;
    device.Info().inputReportByteLength = Present().front().inputReportByteLength;
    try {
        device.Open();  // Wine may refuse the access; what counts is that the open was asked for
    } catch (const std::string&) {
    }
    const std::vector<std::string> opens = SpiedOpens();
    ASSERT_FALSE(opens.empty()) << "the listed path never reached the system's open";
    EXPECT_EQ(opens.front(), listed);
    device.Close();
}

TEST_F(WineListedPath, TheShippingModuleOpensNoPathTheServerNamesUnlessListed) {
    ASSERT_FALSE(Present().empty());
    const ProbedInterface& wine = Present().front();
    const std::string listed = LowerCaseForTest(wine.path);
    std::unique_ptr<enginesim::EngineSimulator> sim;
    ASSERT_TRUE(testsupport::StartModule(TOV_SHIPPING_MODULE, sim));
    HMODULE module = GetModuleHandleA("TovaroCitrixVC.dll");
    ASSERT_NE(module, nullptr);
    ASSERT_TRUE(InstallOpenSpy(module));

    using namespace ServerProxy;
    USBButtonDeviceDescriptor descriptor;
    descriptor.name = "Wine HID";
    descriptor.hidInfo.vendorID = wine.vendorID;
    descriptor.hidInfo.productID = wine.productID;
    descriptor.hidInfo.inputReportByteLength = wine.inputReportByteLength;
    descriptor.hidInfo.outputReportByteLength = wine.outputReportByteLength;
    size_t replies = 0;
    auto exchange = [&](const Bytes& command) {
        sim->QueueServerBlock(command);
        ++replies;
        ASSERT_TRUE(sim->WaitForSentBlocks(replies, std::chrono::seconds(20)));
        EXPECT_EQ(sim->SentBlocks()[replies - 1].data[0], command[0] + 1);
    };
    exchange(EncodeCreateDevice(0x2000));
    std::vector<std::string> paths = UnlistedPaths(listed);
    paths.push_back(listed);  // listed, but no supported model: probed, then refused
    for (const std::string& path : paths) {
        descriptor.hidInfo.devicePath = path;
        exchange(EncodeInitDevice(0x2000, descriptor));
        sim->QueueServerBlock(EncodeConnectDevice(0x2000, true));  // refused: no reply
    }
    exchange(EncodeConnectDevice(0x2000, false));
    exchange(EncodeDeleteDevice(0x2000));
    UninstallOpenSpy();
    sim->Shutdown();

    // The module opens files of its own too (the trace log); of the server's paths only the listed
    // one reaches the open, once, for the probe.
    std::vector<std::string> serverPathOpens;
    for (const std::string& opened : SpiedOpens()) {
        for (const std::string& path : paths) {
            if (LowerCaseForTest(opened) == LowerCaseForTest(path)) serverPathOpens.push_back(opened);
        }
    }
    EXPECT_EQ(serverPathOpens, std::vector<std::string>(1, listed));
}

}  // namespace
