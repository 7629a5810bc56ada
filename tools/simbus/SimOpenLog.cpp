// The simulated bus's spy on the HID seam's open call: which paths the driver tried to open, which
// thread opened and queried, and the hold of query opens.
#include <algorithm>
#include <chrono>
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

void HoldQueryOpen(Bus& bus, std::unique_lock<std::mutex>& lock) {
    if (!bus.holdQueryOpens) return;
    ++bus.heldQueryOpens;
    bus.queryOpensChanged.notify_all();
    bus.queryOpensChanged.wait_for(lock, std::chrono::seconds(20), [&] { return !bus.holdQueryOpens; });
    --bus.heldQueryOpens;
    bus.queryOpensChanged.notify_all();
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

void TovSim_HoldQueryOpens(int on) {
    simbus::Bus& bus = simbus::TheBus();
    std::lock_guard<std::mutex> lock(bus.mutex);
    bus.holdQueryOpens = on != 0;
    bus.queryOpensChanged.notify_all();
}

int TovSim_HeldQueryOpenCount(void) {
    simbus::Bus& bus = simbus::TheBus();
    std::lock_guard<std::mutex> lock(bus.mutex);
    return bus.heldQueryOpens;
}

int TovSim_WaitForHeldQueryOpens(int count, int milliseconds) {
    simbus::Bus& bus = simbus::TheBus();
    std::unique_lock<std::mutex> lock(bus.mutex);
    return bus.queryOpensChanged.wait_for(lock, std::chrono::milliseconds(std::max(milliseconds, 0)),
                                          [&] { return bus.heldQueryOpens >= count; })
               ? 1
               : 0;
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
