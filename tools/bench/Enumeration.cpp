// Figure 3: GetConnectedDevices with 1, 10 and 50 HID interfaces present, per probed interface,
// against opening and closing the same paths through the HID seam.
#include <cstdio>
#include <string>

#include "BenchSupport.h"
#include "Figures.h"
#include "HIDSeam.h"
#include "MessageEncoder.h"
#include "TovSimBus.h"

namespace bench {

namespace {

constexpr ObjectHandle kManager = 0x00E00000;
constexpr int kRepeats = 20;

// The same probe open the manager makes (query access), and the close.
double OpenCloseFloor(const std::vector<std::string>& paths) {
    const Clock::time_point start = Clock::now();
    for (int r = 0; r < kRepeats; ++r) {
        for (const std::string& path : paths) {
            const hidseam::Handle handle =
                hidseam::OpenPath(path, hidseam::kAccessQuery, hidseam::kShareReadWrite, 0);
            if (handle != hidseam::kInvalidHandle) hidseam::ClosePath(handle);
        }
    }
    return NanosecondsBetween(start, Clock::now()) / kRepeats;
}

}  // namespace

int Enumeration(const Settings&) {
    LocalDriver& driver = LocalDriver::Get();
    std::printf("enumeration: GetConnectedDevices (reply included), microseconds (target: <= 2x floor per interface)\n");
    std::printf("  %-12s %8s %12s %14s %14s %8s\n", "interfaces", "listed", "per call", "per interface",
                "floor per if.", "ratio");
    int failures = 0;
    for (int count : {1, 10, 50}) {
        TovSim_Reset();
        std::vector<std::string> paths;
        // SpeechMike III vendor interfaces: every one is probed and listed.
        for (int i = 0; i < count; ++i) {
            const int id = TovSim_PlugCustom(0x0911, 0x0C1C, 0x0300, 0xFFA0, 0x01, 10, 10);
            paths.push_back(SimPath(id));
        }
        driver.Command(ServerProxy::EncodeCreateManager(kManager));
        driver.Drain();
        const Bytes request = ServerProxy::EncodeGetConnectedDevices(kManager);
        Bytes reply = driver.Command(request);  // warm-up
        size_t listed = reply.size() >= 12 ? reply[8] | (reply[9] << 8) : 0;
        const Clock::time_point start = Clock::now();
        for (int r = 0; r < kRepeats; ++r) driver.Command(request);
        const double perCall = NanosecondsBetween(start, Clock::now()) / kRepeats;
        const double floor = OpenCloseFloor(paths);
        if (listed != static_cast<size_t>(count)) ++failures;
        std::printf("  %-12d %8zu %12s %14s %14s %8s\n", count, listed, Fixed(perCall / 1000, 1).c_str(),
                    Fixed(perCall / count / 1000, 2).c_str(), Fixed(floor / count / 1000, 2).c_str(),
                    Ratio(perCall, floor).c_str());
        driver.Command(ServerProxy::EncodeDeleteManager(kManager));
        driver.Drain();
    }
    TovSim_Reset();
    return failures != 0;
}

}  // namespace bench
