// The driver's message boxes, through one replaceable function.
#pragma once

#include <string>

// Message box types as the Windows API numbers them.
constexpr unsigned kMessageBoxOk = 0x00000000u;         // MB_OK
constexpr unsigned kMessageBoxIconError = 0x00000010u;  // MB_ICONERROR

// Receives every message box instead of the default (a modal MessageBoxA without owner on Windows,
// a line on stderr natively). Called on the thread that shows the box; must be thread-safe.
using MessageBoxHandler = int (*)(const char* text, const char* caption, unsigned type);

// Shows the box (modal, no owner window) and returns the button's identifier.
int ShowMessageBox(const std::string& text, const std::string& caption, unsigned type);

// Installs a handler (null restores the default) and returns the one it replaces. Tests install a
// recorder so that nothing blocks.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

// The default box of the platform.
int ShowPlatformMessageBox(const char* text, const char* caption, unsigned type);
