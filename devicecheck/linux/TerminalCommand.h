// The commands of tovusb-devicecheck, one per line of its input (typed at its prompt, or piped in
// by a script or a test). Parsing is pure: a line in, a command or a message out.
#pragma once

#include <cstdint>
#include <string>

namespace devicecheck {

enum class CommandKind {
    kNothing,    // an empty line or a comment (from a '#' on)
    kHelp,       // help
    kStatus,     // status: the registration with the ICA Client
    kList,       // list: the devices again
    kSelect,     // select N: connect device N of the list
    kDeselect,   // deselect: disconnect it
    kShowLEDs,   // leds: the LEDs of the selected device
    kLED,        // led N on|off
    kAllLEDsOff, // leds off
    kWaitEvent,  // wait-event [MS]
    kReport,     // report [FILE]
    kQuit,       // quit (also exit)
};

struct TerminalCommand {
    CommandKind kind = CommandKind::kNothing;
    int32_t number = 0;   // select: the device's number (from 1); led: the LED
    bool on = false;      // led
    uint32_t waitMs = 0;  // wait-event
    std::string file;     // report: "" for the output
};

// Longest input line accepted, in bytes; a longer one is refused as a whole.
constexpr size_t kMaxCommandLine = 4096;
// Default and longest wait of wait-event.
constexpr uint32_t kDefaultWaitMs = 10000;
constexpr uint32_t kMaxWaitMs = 600000;
// Highest device number select accepts, highest LED number led accepts.
constexpr int32_t kMaxDeviceNumber = 9999;
constexpr int32_t kMaxLEDNumber = 255;

// False with a message (which names the command's form) for a line that is no command.
bool ParseTerminalCommand(const std::string& line, TerminalCommand& command, std::string& error);

// The list of commands, for help and --help.
std::string TerminalCommandHelp();

}  // namespace devicecheck
