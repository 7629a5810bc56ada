// The simulated HID bus: plugged interfaces, their handles, reports and failures, and the C
// interface that drives them.
#include "SimBus.h"

#include <algorithm>
#include <chrono>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "SimCatalogue.h"
#include "TovSimBus.h"

namespace simbus {

namespace {

constexpr int kMaxLength = 0xFFFF;

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

const char* const kHidClassSuffix = "#{4d1e55b2-f16f-11cf-88cb-001111000030}";

// Adds one interface; the caller holds the lock.
Interface& AddInterface(Bus& bus, int deviceId, uint16_t vendorID, uint16_t productID, uint16_t version,
                        uint16_t usagePage, uint16_t usage, int inputLength, int outputLength, int interfaceNumber,
                        int interfaceCount) {
    const int id = bus.nextId++;
    Interface& iface = bus.interfaces[id];
    iface.id = id;
    iface.deviceId = deviceId ? deviceId : id;
    iface.vendorID = vendorID;
    iface.productID = productID;
    iface.versionNumber = version;
    iface.usagePage = usagePage;
    iface.usage = usage;
    iface.inputLength = inputLength;
    iface.outputLength = outputLength;
    char head[64];
    if (interfaceCount > 1) {
        std::snprintf(head, sizeof(head), "\\\\?\\hid#vid_%04x&pid_%04x&mi_%02d#sim&%d", vendorID, productID,
                      interfaceNumber, id);
    } else {
        std::snprintf(head, sizeof(head), "\\\\?\\hid#vid_%04x&pid_%04x#sim&%d", vendorID, productID, id);
    }
    iface.path = std::string(head) + kHidClassSuffix;
    iface.announcedName = Upper(head) + kHidClassSuffix;
    iface.channelName = simchannel::ChannelName(id);
    return iface;
}

Interface* Find(Bus& bus, int id) {
    auto it = bus.interfaces.find(id);
    return it == bus.interfaces.end() ? nullptr : &it->second;
}

}  // namespace

Bus& TheBus() {
    static Bus* bus = new Bus;  // never destroyed: threads may use it during process exit
    return *bus;
}

Interface* FindByPath(Bus& bus, const std::string& path) {
    const std::string lower = Lower(path);
    for (auto& entry : bus.interfaces) {
        if (entry.second.path == lower) return &entry.second;
    }
    return nullptr;
}

bool TakeFailure(Bus& bus, Interface* iface, unsigned kind) {
    if (iface && (iface->failNext & kind)) {
        iface->failNext &= ~kind;
        return true;
    }
    if (bus.failNextAny & kind) {
        bus.failNextAny &= ~kind;
        return true;
    }
    return false;
}

void DropOpening(Bus& bus, size_t index) {
    Opening opening = bus.openings[index];
    bus.openings.erase(bus.openings.begin() + static_cast<long>(index));
    Interface* iface = Find(bus, opening.interfaceId);
    Bytes message;
    while (simchannel::Receive(opening.server, message)) {
        if (iface) iface->outputs.push_back(message);
    }
    simchannel::Disconnect(opening.server);
}

void Reap(Bus& bus) {
    for (size_t i = bus.openings.size(); i-- > 0;) {
        if (!simchannel::PeerAlive(bus.openings[i].server)) DropOpening(bus, i);
    }
}

// Collects the output reports written so far into the interface's record. Needs the lock.
void CollectOutputs(Bus& bus, Interface& iface) {
    Bytes message;
    for (const Opening& opening : bus.openings) {
        if (opening.interfaceId != iface.id) continue;
        while (simchannel::Receive(opening.server, message)) iface.outputs.push_back(message);
    }
}

// Breaks the openings of one interface that match kinds; returns how many. Needs the lock.
int BreakOpenings(Bus& bus, int interfaceId, unsigned kinds) {
    int broken = 0;
    for (size_t i = bus.openings.size(); i-- > 0;) {
        if (bus.openings[i].interfaceId == interfaceId && (bus.openings[i].kind & kinds)) {
            DropOpening(bus, i);
            ++broken;
        }
    }
    return broken;
}

int Plug(const CatalogueModel* model, uint16_t vendorID, uint16_t productID, uint16_t version,
         const CatalogueInterface* interfaces, int count) {
    Bus& bus = TheBus();
    std::vector<std::string> names;
    int first = 0;
    {
        std::lock_guard<std::mutex> lock(bus.mutex);
        for (int i = 0; i < count; ++i) {
            Interface& iface = AddInterface(bus, first, vendorID, productID, version, interfaces[i].usagePage,
                                            interfaces[i].usage, interfaces[i].inputLength,
                                            interfaces[i].outputLength, i, count);
            iface.usbClass = interfaces[i].usbClass;
            iface.usbSubClass = interfaces[i].usbSubClass;
            iface.usbProtocol = interfaces[i].usbProtocol;
            if (!first) first = iface.id;
            names.push_back(iface.announcedName);
        }
    }
    (void)model;
    for (const std::string& name : names) Announce(hidseam::kDeviceArrival, hidseam::kDeviceTypeInterface, name);
    return first;
}

}  // namespace simbus

using namespace simbus;

extern "C" {

int TovSim_CatalogueCount(void) { return CatalogueCount(); }

int TovSim_CatalogueEntry(int index, TovSimModel* model) {
    const CatalogueModel* entry = CatalogueAt(index);
    if (!entry || !model) return 0;
    model->key = entry->key;
    model->name = entry->name;
    model->vendorID = entry->vendorID;
    model->productID = entry->productID;
    model->versionNumber = entry->versionNumber;
    model->usagePage = entry->interfaces[0].usagePage;
    model->usage = entry->interfaces[0].usage;
    model->inputReportByteLength = entry->interfaces[0].inputLength;
    model->outputReportByteLength = entry->interfaces[0].outputLength;
    model->interfaceCount = entry->interfaceCount;
    model->supported = entry->supported ? 1 : 0;
    return 1;
}

int TovSim_Plug(const char* modelKey) {
    const CatalogueModel* model = CatalogueFind(modelKey);
    if (!model) return 0;
    return Plug(model, model->vendorID, model->productID, model->versionNumber, model->interfaces,
                model->interfaceCount);
}

int TovSim_PlugCustom(unsigned vendorID, unsigned productID, unsigned versionNumber, unsigned usagePage,
                      unsigned usage, int inputReportByteLength, int outputReportByteLength) {
    if (vendorID > 0xFFFF || productID > 0xFFFF || versionNumber > 0xFFFF || usagePage > 0xFFFF || usage > 0xFFFF)
        return 0;
    if (inputReportByteLength < 0 || inputReportByteLength > kMaxLength || outputReportByteLength < 0 ||
        outputReportByteLength > kMaxLength)
        return 0;
    // A HID interface (class 03) whose subclass and protocol the simulation does not show.
    const CatalogueInterface iface = {static_cast<uint16_t>(usagePage), static_cast<uint16_t>(usage),
                                      inputReportByteLength, outputReportByteLength, 0x03, -1, -1};
    return Plug(nullptr, static_cast<uint16_t>(vendorID), static_cast<uint16_t>(productID),
                static_cast<uint16_t>(versionNumber), &iface, 1);
}

int TovSim_Unplug(int id) {
    Bus& bus = TheBus();
    std::vector<std::string> names;
    {
        std::lock_guard<std::mutex> lock(bus.mutex);
        Interface* iface = Find(bus, id);
        if (!iface) return 0;
        const int deviceId = iface->deviceId;
        for (auto it = bus.interfaces.begin(); it != bus.interfaces.end();) {
            if (it->second.deviceId == deviceId) {
                BreakOpenings(bus, it->first, kQuery | kRead | kWrite);
                names.push_back(it->second.announcedName);
                it = bus.interfaces.erase(it);
            } else {
                ++it;
            }
        }
    }
    bus.writesChanged.notify_all();  // held writes of its openings fail now
    for (const std::string& name : names) {
        Announce(hidseam::kDeviceRemoveComplete, hidseam::kDeviceTypeInterface, name);
    }
    return 1;
}

void TovSim_Reset(void) {
    Bus& bus = TheBus();
    std::lock_guard<std::mutex> lock(bus.mutex);
    while (!bus.openings.empty()) DropOpening(bus, bus.openings.size() - 1);
    bus.interfaces.clear();
    bus.failNextAny = 0;
    bus.openLog.clear();
    bus.openCallCount = 0;
    bus.cancelledWrites = 0;
    bus.lastCancelledWrite.clear();
    bus.markedThread = std::thread::id();
    bus.markedThreadCalls = 0;
    bus.holdQueryOpens = false;
    bus.queryOpensChanged.notify_all();
    simchannel::RestoreWaits();
    bus.writesChanged.notify_all();
}

int TovSim_SetAttributes(int id, unsigned vendorID, unsigned productID, unsigned versionNumber) {
    if (vendorID > 0xFFFF || productID > 0xFFFF || versionNumber > 0xFFFF) return 0;
    Bus& bus = TheBus();
    std::lock_guard<std::mutex> lock(bus.mutex);
    Interface* iface = Find(bus, id);
    if (!iface) return 0;
    iface->vendorID = static_cast<uint16_t>(vendorID);
    iface->productID = static_cast<uint16_t>(productID);
    iface->versionNumber = static_cast<uint16_t>(versionNumber);
    return 1;
}

int TovSim_Interfaces(int id, int* ids, int capacity) {
    Bus& bus = TheBus();
    std::lock_guard<std::mutex> lock(bus.mutex);
    Interface* iface = Find(bus, id);
    if (!iface) return 0;
    int count = 0;
    for (const auto& entry : bus.interfaces) {
        if (entry.second.deviceId != iface->deviceId) continue;
        if (ids && count < capacity) ids[count] = entry.first;
        ++count;
    }
    return count;
}

int TovSim_DevicePath(int id, char* buffer, int size) {
    Bus& bus = TheBus();
    std::lock_guard<std::mutex> lock(bus.mutex);
    Interface* iface = Find(bus, id);
    if (!iface) return -1;
    if (buffer && size > 0) {
        const size_t n = std::min(iface->path.size(), static_cast<size_t>(size - 1));
        std::memcpy(buffer, iface->path.data(), n);
        buffer[n] = '\0';
    }
    return static_cast<int>(iface->path.size());
}

int TovSim_SendInputReport(int id, const void* report, int length) {
    Bus& bus = TheBus();
    std::lock_guard<std::mutex> lock(bus.mutex);
    Interface* iface = Find(bus, id);
    if (!iface || !report || length < 1 || length > iface->inputLength) return -1;
    Reap(bus);
    const uint8_t* bytes = static_cast<const uint8_t*>(report);
    int reached = 0;
    for (const Opening& opening : bus.openings) {
        if (opening.interfaceId == id && opening.kind == kRead &&
            simchannel::Send(opening.server, bytes, static_cast<size_t>(length))) {
            ++reached;
        }
    }
    if (reached) iface->delivered.emplace_back(bytes, bytes + length);
    return reached;
}

int TovSim_DeliveredReportCount(int id) {
    Bus& bus = TheBus();
    std::lock_guard<std::mutex> lock(bus.mutex);
    Interface* iface = Find(bus, id);
    return iface ? static_cast<int>(iface->delivered.size()) : -1;
}

int TovSim_DeliveredReport(int id, int index, void* buffer, int size) {
    Bus& bus = TheBus();
    std::lock_guard<std::mutex> lock(bus.mutex);
    Interface* iface = Find(bus, id);
    if (!iface || index < 0 || index >= static_cast<int>(iface->delivered.size())) return -1;
    const Bytes& report = iface->delivered[static_cast<size_t>(index)];
    if (buffer && size > 0) std::memcpy(buffer, report.data(), std::min(report.size(), static_cast<size_t>(size)));
    return static_cast<int>(report.size());
}

int TovSim_OutputReportCount(int id) {
    Bus& bus = TheBus();
    std::lock_guard<std::mutex> lock(bus.mutex);
    Interface* iface = Find(bus, id);
    if (!iface) return -1;
    CollectOutputs(bus, *iface);
    return static_cast<int>(iface->outputs.size());
}

int TovSim_ReadOutputReport(int id, void* buffer, int size) {
    Bus& bus = TheBus();
    std::lock_guard<std::mutex> lock(bus.mutex);
    Interface* iface = Find(bus, id);
    if (!iface) return -1;
    CollectOutputs(bus, *iface);
    if (iface->outputs.empty()) return 0;
    const Bytes report = iface->outputs.front();
    iface->outputs.erase(iface->outputs.begin());
    if (buffer && size > 0) std::memcpy(buffer, report.data(), std::min(report.size(), static_cast<size_t>(size)));
    return static_cast<int>(report.size());
}

int TovSim_FailNextOpen(int id, unsigned kinds) {
    Bus& bus = TheBus();
    std::lock_guard<std::mutex> lock(bus.mutex);
    // Enumeration is one for the whole bus.
    bus.failNextAny |= (kinds & TOVSIM_FAIL_ENUMERATION);
    kinds &= ~TOVSIM_FAIL_ENUMERATION;
    if (id == 0) {
        bus.failNextAny |= kinds;
        return 1;
    }
    Interface* iface = Find(bus, id);
    if (!iface) return 0;
    iface->failNext |= kinds;
    return 1;
}

int TovSim_BreakPendingRead(int id) {
    Bus& bus = TheBus();
    std::lock_guard<std::mutex> lock(bus.mutex);
    if (!Find(bus, id)) return -1;
    return BreakOpenings(bus, id, kRead);
}

int TovSim_BreakReaderWait(int id) {
    Bus& bus = TheBus();
    std::lock_guard<std::mutex> lock(bus.mutex);
    Interface* iface = Find(bus, id);
    if (!iface) return -1;
    Reap(bus);
    std::vector<intptr_t> readers;
    for (const Opening& opening : bus.openings) {
        if (opening.interfaceId == id && (opening.kind & kRead)) readers.push_back(opening.server);
    }
    if (readers.empty()) return 0;
    if (!simchannel::BreakWaits()) return -1;
    // The readers wait already; a report of zeros wakes them, and their next wait fails.
    const Bytes zeros(static_cast<size_t>(std::max(iface->inputLength, 1)), 0);
    for (intptr_t server : readers) simchannel::Send(server, zeros.data(), zeros.size());
    return static_cast<int>(readers.size());
}

int TovSim_ReaderCount(int id) {
    Bus& bus = TheBus();
    std::lock_guard<std::mutex> lock(bus.mutex);
    if (!Find(bus, id)) return -1;
    Reap(bus);
    int count = 0;
    for (const Opening& opening : bus.openings) count += (opening.interfaceId == id && opening.kind == kRead);
    return count;
}

int TovSim_OpenCount(int id) {
    Bus& bus = TheBus();
    std::lock_guard<std::mutex> lock(bus.mutex);
    if (!Find(bus, id)) return -1;
    Reap(bus);
    int count = 0;
    for (const Opening& opening : bus.openings) count += (opening.interfaceId == id);
    return count;
}

int TovSim_HoldWrites(int id, int on) {
    Bus& bus = TheBus();
    std::lock_guard<std::mutex> lock(bus.mutex);
    Interface* iface = Find(bus, id);
    if (!iface) return 0;
    iface->holdWrites = on != 0;
    iface->holdPastCancel = on == 2;
    bus.writesChanged.notify_all();
    return 1;
}

int TovSim_HeldWriteCount(void) {
    Bus& bus = TheBus();
    std::lock_guard<std::mutex> lock(bus.mutex);
    return bus.heldWrites;
}

int TovSim_WaitForHeldWrites(int count, int milliseconds) {
    Bus& bus = TheBus();
    std::unique_lock<std::mutex> lock(bus.mutex);
    return bus.writesChanged.wait_for(lock, std::chrono::milliseconds(std::max(milliseconds, 0)),
                                      [&] { return bus.heldWrites >= count; })
               ? 1
               : 0;
}

int TovSim_HoldReads(int id, int on) {
#if defined(_WIN32)
    (void)id;
    (void)on;
    return 0;  // a reader reads its pipe with ReadFile, which the bus does not see
#else
    Bus& bus = TheBus();
    std::lock_guard<std::mutex> lock(bus.mutex);
    Interface* iface = Find(bus, id);
    if (!iface) return 0;
    iface->holdReads = on != 0;
    bus.writesChanged.notify_all();
    return 1;
#endif
}

int TovSim_WaitForHeldReads(int count, int milliseconds) {
    Bus& bus = TheBus();
    std::unique_lock<std::mutex> lock(bus.mutex);
    return bus.writesChanged.wait_for(lock, std::chrono::milliseconds(std::max(milliseconds, 0)),
                                      [&] { return bus.heldReads >= count; })
               ? 1
               : 0;
}

int TovSim_CancelledWriteCount(void) {
    Bus& bus = TheBus();
    std::lock_guard<std::mutex> lock(bus.mutex);
    return bus.cancelledWrites;
}

int TovSim_LastCancelledWrite(void* buffer, int size) {
    Bus& bus = TheBus();
    std::lock_guard<std::mutex> lock(bus.mutex);
    const size_t length = bus.lastCancelledWrite.size();
    if (buffer && size > 0) std::memcpy(buffer, bus.lastCancelledWrite.data(), std::min(length, static_cast<size_t>(size)));
    return static_cast<int>(length);
}

}  // extern "C"

namespace simbus {

void WaitWhileReadsHeld(hidseam::Handle client) {
    Bus& bus = TheBus();
    std::unique_lock<std::mutex> lock(bus.mutex);
    bool waiting = false;
    for (;;) {
        int interfaceId = 0;
        for (const Opening& opening : bus.openings) {
            if (opening.client == client) interfaceId = opening.interfaceId;
        }
        auto it = bus.interfaces.find(interfaceId);
        if (it == bus.interfaces.end() || !it->second.holdReads) break;
        if (!waiting) {
            waiting = true;
            ++bus.heldReads;
            bus.writesChanged.notify_all();
        }
        bus.writesChanged.wait(lock);
    }
    if (waiting) {
        --bus.heldReads;
        bus.writesChanged.notify_all();
    }
}

}  // namespace simbus
