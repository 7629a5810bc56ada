// The administrator's switch for several sessions with one device (Windows): the value ButtonsGoTo
// (REG_SZ) of HKEY_LOCAL_MACHINE\SOFTWARE\Tovaro\TovUSB, in the 32-bit registry view where the
// installer writes it (the 32-bit and the 64-bit driver both read it there).
//   LastActiveSession  (the default) a device's presses go to the session the user last worked in
//   EverySession       every session that connected the device sends them
#pragma once

#include <string>

enum class ButtonsGoTo { LastActiveSession, EverySession };

// The value's text, case-insensitive; false for anything else.
bool ParseButtonsGoTo(const std::string& text, ButtonsGoTo& setting);
const char* ButtonsGoToName(ButtonsGoTo setting);

#if defined(_WIN32)
// Reads the value. Missing: the default, with an empty note; unreadable or unknown: the default,
// with a note that says what was found.
ButtonsGoTo ReadButtonsGoTo(std::string& note);
#endif
