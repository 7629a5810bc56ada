// The system log of a POSIX system, where the Linux driver puts what Windows shows in a message box.
// The line goes straight to syslog's socket (/dev/log) with its own identity "TovUSB": the driver
// lives inside the ICA Client's process and must not change the client's own openlog() settings.
#pragma once

#include <ctime>
#include <string>

// syslog's datagram socket.
extern const char* const kSystemLogSocket;  // "/dev/log"

// One message in syslog's local format: "<PRI>Mmm dd hh:mm:ss TovUSB[pid]: caption: text", PRI
// being the user facility with the error level (11). Line ends in the text become spaces.
std::string SystemLogLine(const std::string& caption, const std::string& text, long processId, std::time_t when);

// Sends one line to the datagram socket at socketPath without waiting; false when nobody listens
// or the socket is full (the line is then lost: a log must never hold up a reader thread).
bool SendSystemLogLine(const std::string& line, const std::string& socketPath);

// A message box handler (see MessageBox.h) for the Linux driver: the box becomes one syslog line
// and one error line in the trace log (source "USBHIDManager"); it counts as confirmed (IDOK).
int SystemLogMessageBox(const char* text, const char* caption, unsigned type);
