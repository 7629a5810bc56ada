// One uhid device: a HID interface that the kernel's HID core serves (hid-generic binds it and
// hidraw gives it a /dev/hidrawN node) while this object plays the hardware: it sends input reports
// and receives what the host writes (output reports) and the open/close of its users.
//
// Threads: the constructor, SendInput and Destroy run on the caller's thread; one reader thread per
// device reads the uhid events (start, stop, open, close, output, get/set report requests, which it
// answers with an error as a device without feature reports does). `mutex` guards the recorded
// events; the Wait functions wait on `changed` for them with a deadline.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "UhidModels.h"

namespace uhidplayer {

struct OutputReport {
    std::vector<uint8_t> bytes;  // as the uhid event carries it: the report number first
    uint8_t reportType = 0;      // UHID_OUTPUT_REPORT, UHID_FEATURE_REPORT, UHID_INPUT_REPORT
};

struct DeviceIdentity {
    std::string name;
    uint16_t bus = 0x03;  // BUS_USB
    uint16_t vendorID = 0;
    uint16_t productID = 0;
    uint16_t version = 0;
    std::string uniq;     // must be unique: it is how the hidraw node is found
};

class UhidDevice {
public:
    // Creates the device (UHID_CREATE2 on a descriptor of its own). Throws std::runtime_error with
    // the reason when /dev/uhid cannot be opened or the kernel refuses the device.
    UhidDevice(const DeviceIdentity& identity, const UhidInterface& iface);
    // Interface `index` of a catalogue model, with a unique uniq string made by the player.
    UhidDevice(const UhidModel& model, size_t index);
    // How the devices of this process get their /dev/uhid descriptor: by default they open it; a
    // program that gave up root has a helper that stayed root open it (a descriptor, or -1 with
    // errno set). Set before the first device is made.
    using Opener = int (*)();
    static void SetOpener(Opener opener);
    ~UhidDevice();  // Destroy()
    UhidDevice(const UhidDevice&) = delete;
    UhidDevice& operator=(const UhidDevice&) = delete;

    const DeviceIdentity& Identity() const { return identity; }
    const UhidInterface& Interface() const { return iface; }

    // An input report as it goes over the wire: the report id first only on numbered interfaces.
    void SendInput(const std::vector<uint8_t>& wireBytes);
    // An input report in the layout Windows delivers (byte 0 the report id, 0 when unnumbered):
    // byte 0 is dropped for an unnumbered interface.
    void SendReport(const std::vector<uint8_t>& windowsBytes);
    // UHID_DESTROY and the end of the reader thread; the kernel removes the hidraw node. Idempotent.
    void Destroy();
    bool Destroyed() const { return fd < 0; }

    // The /dev/hidrawN node of this device, waiting up to `timeout` for it to appear ("" if not).
    std::string WaitForNode(std::chrono::milliseconds timeout);
    // Waits until the kernel has started the device (hid-generic bound it).
    bool WaitStarted(std::chrono::milliseconds timeout);
    // Waits until at least `count` opens have been seen in all (UHID_OPEN), or until the device is
    // no longer open by anyone after having been (WaitClosed).
    bool WaitOpens(unsigned count, std::chrono::milliseconds timeout);
    bool WaitClosed(std::chrono::milliseconds timeout);
    bool IsOpen() const;
    unsigned Opens() const;
    // The oldest output report not taken yet, waiting up to `timeout`; false if none came.
    bool TakeOutput(OutputReport& report, std::chrono::milliseconds timeout);
    size_t PendingOutputs() const;

private:
    void ReadEvents();
    void Write(const void* event, size_t size);
    template <class Pred>
    bool WaitFor(std::chrono::milliseconds timeout, Pred pred);

    DeviceIdentity identity;
    UhidInterface iface;
    int fd = -1;
    int stopFd = -1;  // eventfd that ends the reader thread
    std::thread reader;

    mutable std::mutex mutex;  // guards the fields below
    std::condition_variable changed;
    bool started = false;
    bool open = false;
    unsigned opens = 0;
    std::vector<OutputReport> outputs;
};

}  // namespace uhidplayer
