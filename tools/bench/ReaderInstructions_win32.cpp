// Figure 8 on Windows: callgrind runs natively only, so the figure says so and measures nothing.
#include <cstdio>

#include "Figures.h"

namespace bench {

int ReaderInstructions(const Settings&) {
    std::printf("instructions per report under callgrind: measured natively only (bench instructions on Linux)\n");
    return 0;
}

}  // namespace bench
