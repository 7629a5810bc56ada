// Figure 8: instructions per report on the reader's path, counted by callgrind. The program runs
// its own report figure under valgrind twice, collecting only inside the driver's reader thread
// function (CUSBDeviceThread::Run) and then only inside the floor's plain reader (PipeFloorReader),
// and divides each total by the reads that function made. Natively only; valgrind must be on PATH.
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "BenchSupport.h"
#include "Figures.h"

namespace bench {

namespace {

constexpr int kReports = 2000;  // and the report figure's 200 warm-up reads
constexpr int kReads = kReports + 200;

std::string OwnProgram() {
    char path[4096] = {0};
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
}

// Runs "bench --reports 2000 report" under callgrind, counting only inside functions matching
// pattern; the instructions counted, or -1 when the run or its output failed.
long long CountInside(const std::string& program, const std::string& folder, const char* pattern) {
    const std::string out = folder + "/callgrind.out";
    const std::string command = "valgrind --tool=callgrind --toggle-collect='" + std::string(pattern) +
                                "' --callgrind-out-file=" + out + " '" + program + "' --reports " +
                                std::to_string(kReports) + " report >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    if (status != 0) {
        std::fprintf(stderr, "instructions: '%s' failed (status %d; is valgrind installed?)\n", command.c_str(),
                     status);
        return -1;
    }
    std::ifstream file(out);
    std::string line;
    long long total = -1;
    while (std::getline(file, line)) {
        if (line.rfind("summary:", 0) == 0 || line.rfind("totals:", 0) == 0) {
            total = std::atoll(line.c_str() + line.find(':') + 1);
        }
    }
    std::remove(out.c_str());
    if (total < 0) std::fprintf(stderr, "instructions: no total in %s\n", out.c_str());
    return total;
}

}  // namespace

int ReaderInstructions(const Settings&) {
    const std::string program = OwnProgram();
    char folderTemplate[] = "/tmp/tovusb-bench-XXXXXX";
    const char* folder = mkdtemp(folderTemplate);
    if (program.empty() || !folder) {
        std::fprintf(stderr, "instructions: no program path or scratch folder\n");
        return 1;
    }
    const long long driver = CountInside(program, folder, "CUSBDeviceThread::Run*");
    const long long floor = CountInside(program, folder, "PipeFloorReader*");
    rmdir(folder);
    std::printf("instructions per report under callgrind: %d reads each (report figure, %d reports and the warm-up;"
                " target: driver <= 2000)\n",
                kReads, kReports);
    if (driver < 0 || floor < 0) return 1;
    std::printf("  %-40s %10s\n", "floor: plain reader thread (poll, recv)", Fixed(double(floor) / kReads, 0).c_str());
    std::printf("  %-40s %10s   %s\n", "driver: reader thread, report to queue", Fixed(double(driver) / kReads, 0).c_str(),
                Ratio(double(driver), double(floor)).c_str());
    return driver == 0 || floor == 0;
}

}  // namespace bench
