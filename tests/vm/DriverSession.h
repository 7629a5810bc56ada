// The shipping Linux driver (VDTOVUSB.DLL) in the simulated ICA Client inside the VM: one session
// per test program, loaded from $TOV_VM_DRIVER (default /tov/VDTOVUSB.DLL) and polled every 5 ms
// on the simulator's engine thread. The helpers send server commands and read what the driver sent,
// decoded with the server side's strict decoder.
//
// Threads: the test's thread sends commands and reads records; the engine thread (the simulator's)
// runs every driver call; the driver's reader threads and the uhid player's threads run on their own.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "EngineSimulator.h"
#include "ServerMessage.h"

namespace vmtest {

using ServerProxy::Bytes;
using ServerProxy::ChannelMessage;

class DriverSession {
public:
    static DriverSession& Get();  // starts the driver once per program; a failure fails every test
    // A session of its own, for a test that loads and unloads the driver itself; not with Get().
    static std::unique_ptr<DriverSession> OpenOwn();
    // VdClose, VdUnload and dlclose, as the ICA Client does when it unloads the driver; the engine
    // thread ends. The session is of no further use.
    bool Unload();
    bool Started() const { return started; }
    enginesim::EngineSimulator& Sim() { return *sim; }

    size_t SentCount();
    // Raw blocks and decoded messages the driver sent from index `from` on.
    std::vector<Bytes> BlocksFrom(size_t from);
    std::vector<ChannelMessage> SentFrom(size_t from);
    // Delivers the command and waits for its reply (same handle, code + 1); false on timeout.
    bool Command(const Bytes& block, std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // Waits until a message sent at or after `from` satisfies `match`; its index in *index.
    bool WaitForMessage(size_t from, const std::function<bool(const ChannelMessage&)>& match,
                        std::chrono::milliseconds timeout, size_t* index = nullptr);
    // The reply of a GetConnectedDevices on `manager` (created by the caller).
    std::vector<USBButtonDeviceDescriptor> List(ObjectHandle manager);

private:
    DriverSession();
    std::unique_ptr<enginesim::EngineSimulator> sim;
    bool started = false;
};

// Where the driver module is: $TOV_VM_DRIVER, else /tov/VDTOVUSB.DLL.
std::string DriverPath();

// Threads and open descriptors of this process (/proc/self/task, /proc/self/fd).
int Threads();
int Descriptors();

// Lines of /proc/self/maps whose file name ends with `suffix` (a path, or "/libudev.so.1").
int MappingsOf(const std::string& suffix);

// How many descriptors of this process are open on `node` (the driver opens it on ConnectDevice).
int OpenOn(const std::string& node);

// Waits up to `timeout` for `condition`, looking again every few milliseconds.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

// The wire form of a descriptor and of a ButtonEvent, written out field by field from the
// channel's message layout (little-endian integers, strings as length and bytes).
Bytes DescriptorBytes(int32_t id, const std::string& name, const std::string& path, int32_t usageType,
                      int32_t vendorID, int32_t productID, int32_t version, const std::string& productString,
                      int32_t inputLength, int32_t outputLength);
Bytes ButtonEventBytes(ObjectHandle device, int32_t button, int32_t pressed);
Bytes ConnectEventBytes(uint32_t code, ObjectHandle manager, const Bytes& descriptor);

}  // namespace vmtest
