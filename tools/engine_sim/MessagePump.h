// The engine thread's message pump.
#pragma once

namespace enginesim {

// The module's own pump for the native build: it delivers device notifications on the engine
// thread. Exported by the module as extern "C" int TovPlatform_PumpMessages(void).
using ModulePumpProc = int (*)();
constexpr const char* kModulePumpExport = "TovPlatform_PumpMessages";

// Dispatches every message waiting for the calling thread's windows (Windows), or calls the
// module's pump if it has one (native). Never blocks.
void PumpMessages(ModulePumpProc modulePump);

}  // namespace enginesim
