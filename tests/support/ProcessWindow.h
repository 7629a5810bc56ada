// Finding a window of another test subject process (Windows test programs only).
#pragma once

#include <windows.h>

#include <string>

namespace testsupport {

// A top-level window of the process with the id that has exactly this caption; null when it has
// none now. Callers that wait for a program to open its window call this until it answers.
HWND FindProcessWindow(DWORD processId, const std::string& caption);

}  // namespace testsupport
