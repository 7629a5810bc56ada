// What the simulation build of the device check adds: its caption and the commands a test sends
// to plug, press and unplug simulated devices. The shipping build links the empty versions.
#pragma once

#include <windows.h>

#include <string>

namespace devicecheck {

// The WM_COPYDATA tag of a simulation command; the data is the command's text.
constexpr ULONG_PTR kSimulationCommandTag = 0x54535631;  // "TSV1"

// Appended to the dialog's caption: "" in the shipping build.
const char* CaptionSuffix();

// Runs one simulation command (dialog thread). Returns false when the build has none or the
// command is unknown; otherwise `result` is the command's answer. Commands:
//   plug MODEL         plugs a catalogue model; the id of its main interface (0 unknown model)
//   unplug ID          unplugs it; 1, or 0 for an unknown id
//   report ID HEX...   the device sends an input report; the read handles it reached
//   output ID          pops the oldest output report and sends its bytes back to `sender` as a
//                      WM_COPYDATA with this tag; its length, 0 when there is none
bool RunSimulationCommand(HWND dialog, HWND sender, const std::string& command, LRESULT& result);

}  // namespace devicecheck
