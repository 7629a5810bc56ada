#include "BenchSupport.h"

#include <algorithm>
#include <cstdio>
#include <numeric>

#include "CitrixClientData.h"
#include "CitrixUSBButtonDeviceManagerClient.h"
#include "DriverEntry.h"
#include "MessageDecoder.h"
#include "MessageEncoder.h"
#include "MessageType.h"
#include "TovSimBus.h"

namespace bench {

Summary Summarize(std::vector<double> values) {
    Summary summary;
    summary.count = values.size();
    if (values.empty()) return summary;
    std::sort(values.begin(), values.end());
    summary.median = values[values.size() / 2];
    summary.p99 = values[std::min(values.size() - 1, static_cast<size_t>(values.size() * 0.99))];
    summary.max = values.back();
    summary.mean = std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(values.size());
    return summary;
}

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string Ratio(double value, double floor) {
    if (floor <= 0) return "-";
    return Fixed(value / floor, 2) + "x";
}

namespace {

// The program's one channel client, as the module's static dispatcher would be.
CCitrixUSBButtonDeviceManagerClient& Dispatcher() {
    static CCitrixUSBButtonDeviceManagerClient dispatcher;
    return dispatcher;
}

constexpr ObjectHandle kListingManager = 0x0B0B0B0B;

}  // namespace

LocalDriver& LocalDriver::Get() {
    static LocalDriver driver;
    return driver;
}

LocalDriver::LocalDriver() { Dispatcher(); }

void LocalDriver::Deliver(const Bytes& block) {
    Dispatcher().OnDataReceived(block.data(), static_cast<uint16_t>(block.size()));
}

size_t LocalDriver::Queued() { return CCitrixClientData::Instance().QueuedBlocks(); }

Bytes LocalDriver::PopFront() {
    CCitrixClientData& data = CCitrixClientData::Instance();
    const std::vector<uint8_t>* front = data.Front();
    if (!front) return Bytes();
    Bytes block(*front);
    data.Pop();
    return block;
}

void LocalDriver::Drain() {
    CCitrixClientData& data = CCitrixClientData::Instance();
    while (data.Front()) data.Pop();
}

Bytes LocalDriver::Command(const Bytes& block) {
    Deliver(block);
    return PopFront();
}

std::vector<USBButtonDeviceDescriptor> LocalDriver::ListDevices() {
    Command(ServerProxy::EncodeCreateManager(kListingManager));
    const Bytes reply = Command(ServerProxy::EncodeGetConnectedDevices(kListingManager));
    Command(ServerProxy::EncodeDeleteManager(kListingManager));
    ServerProxy::ChannelMessage message;
    std::string error;
    if (!ServerProxy::DecodeClientMessage(reply, message, error)) {
        std::fprintf(stderr, "bench: unreadable device list: %s\n", error.c_str());
        return {};
    }
    return std::vector<USBButtonDeviceDescriptor>(message.devices.begin(), message.devices.end());
}

USBButtonDeviceDescriptor LocalDriver::DescriptorOf(int simId) {
    const std::string path = SimPath(simId);
    for (const USBButtonDeviceDescriptor& descriptor : ListDevices()) {
        if (descriptor.hidInfo.devicePath == path) return descriptor;
    }
    std::fprintf(stderr, "bench: interface %d is not listed\n", simId);
    return USBButtonDeviceDescriptor();
}

std::string SimPath(int simId) {
    char path[512] = {0};
    if (TovSim_DevicePath(simId, path, sizeof path) < 0) return std::string();
    return path;
}

namespace {
int PumpBus() { return TovPlatform_PumpMessages(); }
}  // namespace

enginesim::Options LinkedEngineOptions(uint32_t pollIntervalMs) {
    enginesim::Options options;
    options.loadEntry = &Load;
    options.pumpMessages = &PumpBus;
    options.pollIntervalMs = pollIntervalMs;
    return options;
}

void PrintCallTimes(const std::vector<enginesim::CallTime>& calls) {
    std::printf("    %-34s %7s %10s %10s %10s\n", "engine thread held by (us)", "calls", "median", "p99", "max");
    for (const enginesim::CallTimeRow& row : enginesim::SummarizeCallTimes(calls)) {
        std::string name = enginesim::EntryName(row.entry);
        if (row.entry == enginesim::EntryPoint::WriteHook) {
            const char* const command = MessageTypeName(row.command);
            name += " " + std::to_string(row.command) + " " + (command ? command : "(unknown code)");
        }
        std::printf("    %-34s %7zu %10s %10s %10s\n", name.c_str(), row.count, Fixed(row.medianUs, 1).c_str(),
                    Fixed(row.p99Us, 1).c_str(), Fixed(row.maxUs, 1).c_str());
    }
}

}  // namespace bench
