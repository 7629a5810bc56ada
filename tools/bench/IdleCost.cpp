// Figure 4: eight connected devices and no reports: the CPU the process uses, and the threads and
// handles the devices hold.
#include <chrono>
#include <cstdio>
#include <thread>

#include "BenchSupport.h"
#include "Figures.h"
#include "MessageEncoder.h"
#include "ProcessStats.h"
#include "TovSimBus.h"

namespace bench {

namespace {

constexpr ObjectHandle kFirstDevice = 0x00A00000;
const char* const kModels[] = {"SpeechMikeIII", "SpeechMikeIIPro", "SpeechMikeAir", "Footswitch",
                               "FootswitchLFH0210", "FirestormGamepad", "SonicMicIIClassic", "SpeechMikeIPro"};
constexpr int kDevices = 8;

}  // namespace

int IdleCost(const Settings& settings) {
    LocalDriver& driver = LocalDriver::Get();
    TovSim_Reset();
    int ids[kDevices];
    for (int i = 0; i < kDevices; ++i) ids[i] = TovSim_Plug(kModels[i]);
    const int threadsBefore = ProcessThreads();
    const int handlesBefore = ProcessHandles();
    for (int i = 0; i < kDevices; ++i) {
        const ObjectHandle handle = kFirstDevice + i;
        driver.Command(ServerProxy::EncodeCreateDevice(handle));
        driver.Command(ServerProxy::EncodeInitDevice(handle, driver.DescriptorOf(ids[i])));
        driver.Command(ServerProxy::EncodeConnectDevice(handle, true));
    }
    driver.Drain();
    int readers = 0;
    for (int i = 0; i < kDevices; ++i) readers += TovSim_ReaderCount(ids[i]);
    const int threadsConnected = ProcessThreads();
    const int handlesConnected = ProcessHandles();

    const double cpuStart = ProcessCpuSeconds();
    const Clock::time_point start = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(settings.idleSeconds));
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = ProcessCpuSeconds() - cpuStart;

    for (int i = 0; i < kDevices; ++i) driver.Command(ServerProxy::EncodeDeleteDevice(kFirstDevice + i));
    driver.Drain();
    const int threadsAfter = ProcessThreads();
    const int handlesAfter = ProcessHandles();
    TovSim_Reset();

    std::printf("idle cost: %d connected devices (%d open readers), no reports for %s s\n", kDevices, readers,
                Fixed(wall, 1).c_str());
    std::printf("  CPU of the process while idle: %s ms (target: under %s ms)\n", Fixed(cpu * 1000, 2).c_str(),
                Fixed(settings.idleSeconds, 0).c_str());
    std::printf("  threads: %d before connecting, %d connected (+%d; target +%d), %d after deleting\n", threadsBefore,
                threadsConnected, threadsConnected - threadsBefore, kDevices, threadsAfter);
    std::printf("  handles: %d before connecting, %d connected (+%d, %s per device), %d after deleting\n",
                handlesBefore, handlesConnected, handlesConnected - handlesBefore,
                Fixed(static_cast<double>(handlesConnected - handlesBefore) / kDevices, 1).c_str(), handlesAfter);
    return readers != kDevices;
}

}  // namespace bench
