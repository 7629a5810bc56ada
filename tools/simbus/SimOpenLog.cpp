// The simulated bus's spy on the HID seam's open call: which paths the driver tried to open, and
// which thread opened and queried.
#include <algorithm>
#include <climits>
#include <cstring>

#include "SimBus.h"
#include "TovSimBus.h"

namespace simbus {

void LogOpen(Bus& bus, const std::string& path) {
    if (bus.openCallCount < LONG_MAX) ++bus.openCallCount;
    if (bus.openLog.size() < kMaxLoggedOpens) bus.openLog.push_back(path);
}

void NoteCallingThread(Bus& bus) {
    if (bus.markedThread == std::this_thread::get_id() && bus.markedThreadCalls < LONG_MAX) ++bus.markedThreadCalls;
}

}  // namespace simbus

extern "C" {

int TovSim_OpenCallCount(void) {
    simbus::Bus& bus = simbus::TheBus();
    std::lock_guard<std::mutex> lock(bus.mutex);
    return static_cast<int>(std::min<long>(bus.openCallCount, INT_MAX));
}

void TovSim_MarkThread(void) {
    simbus::Bus& bus = simbus::TheBus();
    std::lock_guard<std::mutex> lock(bus.mutex);
    bus.markedThread = std::this_thread::get_id();
    bus.markedThreadCalls = 0;
}

int TovSim_MarkedThreadCallCount(void) {
    simbus::Bus& bus = simbus::TheBus();
    std::lock_guard<std::mutex> lock(bus.mutex);
    return static_cast<int>(std::min<long>(bus.markedThreadCalls, INT_MAX));
}

int TovSim_OpenCallPath(int index, char* buffer, int size) {
    simbus::Bus& bus = simbus::TheBus();
    std::lock_guard<std::mutex> lock(bus.mutex);
    if (index < 0 || static_cast<size_t>(index) >= bus.openLog.size()) return -1;
    const std::string& path = bus.openLog[static_cast<size_t>(index)];
    if (buffer && size > 0) {
        const size_t n = std::min(path.size(), static_cast<size_t>(size - 1));
        std::memcpy(buffer, path.data(), n);
        buffer[n] = '\0';
    }
    return static_cast<int>(path.size());
}

}  // extern "C"
