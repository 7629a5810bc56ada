// The shipping build reaches only real devices: no simulation commands.
#include "SimulationHooks.h"

namespace devicecheck {

const char* CaptionSuffix() { return ""; }

bool RunSimulationCommand(HWND, HWND, const std::string&, LRESULT&) { return false; }

}  // namespace devicecheck
