// The HID seam answered by the simulated bus.
#include <chrono>
#include <cstring>
#include <mutex>

#include "SimBus.h"
#include "TovSimBus.h"
#include "WindowsInterfacePathForm.h"

namespace hidseam {

namespace {

const Guid kHidGuid = {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

// The opening behind a handle, if the handle is a live simulated one. Needs the lock.
simbus::Opening* FindOpening(simbus::Bus& bus, Handle handle) {
    for (simbus::Opening& opening : bus.openings) {
        if (opening.client == handle) {
            // A handle value may have been closed behind the bus's back and reused by the system.
            if (!simchannel::PeerAlive(opening.server)) return nullptr;
            return &opening;
        }
    }
    return nullptr;
}

// A snapshot of the present interfaces for one enumeration.
struct DeviceSet {
    std::vector<std::string> paths;
};

}  // namespace

void GetHidGuid(Guid& guid) { guid = kHidGuid; }

Handle OpenPath(const std::string& path, uint32_t access, uint32_t share, uint32_t flags) {
    simbus::Bus& bus = simbus::TheBus();
    std::unique_lock<std::mutex> lock(bus.mutex);
    simbus::Reap(bus);
    simbus::LogOpen(bus, path);
    simbus::NoteCallingThread(bus);
    if ((access & (kGenericRead | kGenericWrite)) == 0) simbus::HoldQueryOpen(bus, lock);
    simbus::Interface* iface = simbus::FindByPath(bus, path);
    if (!iface) return simchannel::OpenSystemPath(path, access, share, flags);
    unsigned kind = simbus::kQuery;
    if (access & kGenericRead) kind = simbus::kRead;
    if (access & kGenericWrite) kind = simbus::kWrite;
    if ((access & kGenericRead) && (access & kGenericWrite)) kind = simbus::kRead | simbus::kWrite;
    const unsigned failure = kind == simbus::kQuery ? TOVSIM_FAIL_QUERY_OPEN
                             : (kind & simbus::kRead) ? TOVSIM_FAIL_READ_OPEN
                                                      : TOVSIM_FAIL_WRITE_OPEN;
    if (simbus::TakeFailure(bus, iface, failure)) {
        if (kind == simbus::kQuery) {
            simchannel::SetErrorNotFound();
        } else {
            simchannel::SetErrorAccessDenied();
        }
        return kInvalidHandle;
    }
    simbus::Opening opening = {iface->id, kind, kInvalidHandle, 0};
    if (!simchannel::Connect(*iface, access, share, flags, opening.client, opening.server)) return kInvalidHandle;
    bus.openings.push_back(opening);
    return opening.client;
}

// The simulated bus refuses query opens only as failures of their own, never for permissions.
bool AccessRefused(const std::string&, uint16_t&, uint16_t&) { return false; }
std::string AccessRefusalHint() { return std::string(); }

void ClosePath(Handle handle) {
    simbus::Bus& bus = simbus::TheBus();
    std::lock_guard<std::mutex> lock(bus.mutex);
    simchannel::CloseSystemHandle(handle);
    for (size_t i = 0; i < bus.openings.size(); ++i) {
        if (bus.openings[i].client == handle) {
            simbus::DropOpening(bus, i);
            break;
        }
    }
}

// A simulated interface may hold the write (TovSim_HoldWrites): the calling thread then waits here,
// as it would in a system write that the device does not accept yet, and fails if the device goes
// away meanwhile, if the write is cancelled (CancelOutputReport after the stop flag was set), or
// when its time runs out. A write given up reads the report once more as it ends, as the system
// does until the cancelled write completes: the writer's buffer must still hold it.
bool WriteOutputReport(Handle handle, const char* report, size_t length, const std::atomic<bool>& stop,
                       uint32_t timeoutMilliseconds) {
    simbus::Bus& bus = simbus::TheBus();
    std::unique_lock<std::mutex> lock(bus.mutex);
    if (!FindOpening(bus, handle)) {
        lock.unlock();
        return simchannel::WriteClient(handle, report, length);
    }
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
    bool waiting = false;
    auto stopWaiting = [&] {
        if (waiting) --bus.heldWrites;
        waiting = false;
        bus.writesChanged.notify_all();
    };
    for (;;) {
        simbus::Opening* opening = FindOpening(bus, handle);
        auto it = opening ? bus.interfaces.find(opening->interfaceId) : bus.interfaces.end();
        if (it == bus.interfaces.end()) {
            // Unplugged, or the bus was reset, while the write waited.
            stopWaiting();
            simchannel::SetErrorNotFound();
            return false;
        }
        const bool cancellable = !(it->second.holdWrites && it->second.holdPastCancel);
        if (cancellable && (opening->writeCancelled ||
                            (waiting && (stop.load() || std::chrono::steady_clock::now() >= giveUp)))) {
            const bool wasHeld = waiting;
            stopWaiting();
            if (wasHeld) {
                ++bus.cancelledWrites;
                bus.lastCancelledWrite.assign(report, report + length);
            }
            simchannel::SetErrorCancelled();
            return false;
        }
        if (!it->second.holdWrites) {
            stopWaiting();
            if (simbus::TakeFailure(bus, &it->second, TOVSIM_FAIL_WRITE)) {
                simchannel::SetErrorAccessDenied();
                return false;
            }
            break;
        }
        if (!waiting) {
            waiting = true;
            ++bus.heldWrites;
            bus.writesChanged.notify_all();
        }
        if (cancellable) {
            bus.writesChanged.wait_until(lock, giveUp);
        } else {
            bus.writesChanged.wait(lock);
        }
    }
    // Written without the lock: a full channel may block the write until the bus collects, which
    // takes the lock. One device's writes come from its one writer thread, so they keep their order.
    lock.unlock();
    return simchannel::WriteClient(handle, report, length);
}

void CancelOutputReport(Handle handle) {
    simbus::Bus& bus = simbus::TheBus();
    std::lock_guard<std::mutex> lock(bus.mutex);
    for (simbus::Opening& opening : bus.openings) {
        if (opening.client == handle) opening.writeCancelled = true;
    }
    bus.writesChanged.notify_all();
}

bool GetAttributes(Handle handle, Attributes& attributes) {
    simbus::Bus& bus = simbus::TheBus();
    std::lock_guard<std::mutex> lock(bus.mutex);
    simbus::NoteCallingThread(bus);
    simbus::Opening* opening = FindOpening(bus, handle);
    if (!opening || attributes.size != sizeof(Attributes)) return false;
    auto it = bus.interfaces.find(opening->interfaceId);
    if (it == bus.interfaces.end()) return false;
    attributes.vendorID = it->second.vendorID;
    attributes.productID = it->second.productID;
    attributes.versionNumber = it->second.versionNumber;
    return true;
}

bool GetPreparsedData(Handle handle, void*& preparsedData) {
    simbus::Bus& bus = simbus::TheBus();
    std::lock_guard<std::mutex> lock(bus.mutex);
    simbus::NoteCallingThread(bus);
    simbus::Opening* opening = FindOpening(bus, handle);
    if (!opening) return false;
    auto it = bus.interfaces.find(opening->interfaceId);
    if (it == bus.interfaces.end()) return false;
    simbus::Interface& iface = it->second;
    if (simbus::TakeFailure(bus, &iface, TOVSIM_FAIL_PREPARSED_DATA)) return false;
    simbus::PreparsedData* data = new simbus::PreparsedData;
    data->magic = simbus::kPreparsedMagic;
    data->caps.usage = iface.usage;
    data->caps.usagePage = iface.usagePage;
    data->caps.inputReportByteLength = static_cast<uint16_t>(iface.inputLength);
    data->caps.outputReportByteLength = static_cast<uint16_t>(iface.outputLength);
    data->failCaps = simbus::TakeFailure(bus, &iface, TOVSIM_FAIL_CAPS);
    preparsedData = data;
    return true;
}

uint32_t GetCaps(void* preparsedData, Caps& caps) {
    const uint32_t kInvalidPreparsedData = 0xC0110001u;  // HIDP_STATUS_INVALID_PREPARSED_DATA
    simbus::PreparsedData* data = static_cast<simbus::PreparsedData*>(preparsedData);
    if (!data || data->magic != simbus::kPreparsedMagic || data->failCaps) return kInvalidPreparsedData;
    caps = data->caps;
    return kHidpStatusSuccess;
}

void FreePreparsedData(void* preparsedData) {
    simbus::PreparsedData* data = static_cast<simbus::PreparsedData*>(preparsedData);
    if (data && data->magic == simbus::kPreparsedMagic) {
        data->magic = 0;
        delete data;
    }
}

void* GetClassDevs(const Guid& guid, uint32_t flags) {
    simbus::Bus& bus = simbus::TheBus();
    std::lock_guard<std::mutex> lock(bus.mutex);
    if (simbus::TakeFailure(bus, nullptr, TOVSIM_FAIL_ENUMERATION)) return nullptr;
    DeviceSet* set = new DeviceSet;
    if (guid == kHidGuid && (flags & kPresentInterfaces) == kPresentInterfaces) {
        for (const auto& entry : bus.interfaces) set->paths.push_back(entry.second.path);
    }
    return set;
}

bool EnumDeviceInterface(void* deviceSet, const Guid& guid, uint32_t index, std::string& path) {
    DeviceSet* set = static_cast<DeviceSet*>(deviceSet);
    if (!set || !(guid == kHidGuid) || index >= set->paths.size()) return false;
    path = set->paths[index];
    return true;
}

void DestroyDeviceInfoList(void* deviceSet) { delete static_cast<DeviceSet*>(deviceSet); }

// The bus names its interfaces as SetupAPI does, on every platform.
bool IsDeviceInterfacePathForm(const std::string& path) { return hidpathform::IsWindowsHIDInterfacePathForm(path); }

bool DescribeUsbDevice(const std::string& path, UsbDeviceFacts& facts) {
    simbus::Bus& bus = simbus::TheBus();
    std::lock_guard<std::mutex> lock(bus.mutex);
    const simbus::Interface* iface = simbus::FindByPath(bus, path);
    if (!iface) return false;
    auto shown = [](int value) { return value < 0 ? KnownValue{} : Known(static_cast<uint16_t>(value)); };
    UsbDeviceFacts found;
    found.vendorID = Known(iface->vendorID);
    found.productID = Known(iface->productID);
    found.release = Known(iface->versionNumber);
    // The interfaces of one physical device, in the order they were plugged (their ids).
    for (const auto& entry : bus.interfaces) {
        const simbus::Interface& other = entry.second;
        if (other.deviceId != iface->deviceId) continue;
        found.interfaces.push_back(
            UsbInterfaceClass{shown(other.usbClass), shown(other.usbSubClass), shown(other.usbProtocol)});
    }
    found.allInterfacesShown = true;
    facts = found;
    return true;
}

}  // namespace hidseam
