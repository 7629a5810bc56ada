// The terminal front end of tovusb-devicecheck: reads commands (TerminalCommand.h) from an input
// descriptor and writes what they show, and the device session's lines as they come, to an output
// descriptor. At a terminal it prompts; otherwise it only processes the commands (scripts, tests).
//
// Threads: RunDeviceCheckTerminal runs on the calling thread, which becomes the device session's
// thread: the session is made, used and destroyed there, and its arrivals and removals are
// delivered there (settings.notifications). It sleeps in poll() on the input, on a wake-up
// descriptor and on the notification descriptor, never in a timed loop: the session's reader
// threads only write the wake-up descriptor (OnLinesAdded); everything else happens on this thread.
#pragma once

#include <functional>
#include <string>

#include "SetupPaths.h"
#include "UserClientFiles.h"

namespace devicecheck {

// How the HID backend delivers arrivals and removals to the thread that registered for them: the
// shipping build's hidraw monitor, or the simulated bus's queue in tests.
struct NotificationSource {
    // Delivers what waits, on the calling thread, without blocking.
    std::function<void()> deliver;
    // A descriptor that becomes readable when deliver has something to deliver, or -1 (the caller
    // then delivers after every command and every wake-up only).
    std::function<int()> descriptor;
};

struct TerminalSettings {
    int input = 0;
    int output = 1;
    bool interactive = false;  // prompt, and keep the prompt below the lines that come
    linuxsetup::SetupPaths paths;
    UserClientFiles files;
    NotificationSource notifications;
};

// Shows the registration and the devices, then runs the commands until quit or the end of the
// input. Returns 0 when every command succeeded, 1 when one failed.
int RunDeviceCheckTerminal(const TerminalSettings& settings);

}  // namespace devicecheck
