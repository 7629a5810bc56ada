// Platform pieces of the trace log: file tests, appending one line, the process id.
#pragma once

#include <string>

namespace tracefile {

// True when the path's attributes can be read and it is not a directory.
bool IsExistingFile(const std::string& path);

// Opens the file for appending in text mode, shared for reading and writing with other openers,
// writes the text and a line end, and closes it again. False when the file cannot be opened or
// written.
bool AppendLine(const std::string& path, const std::string& text);

unsigned long CurrentProcessId();

#if !defined(_WIN32)
// Natively a log path of the Windows form "c:\NAME" (a drive's root, any drive letter) is a file
// named NAME in a folder of the platform: the Linux driver sets the ICA Client's folder
// ($HOME/.ICAClient) at load; unset (the native test builds), the path is used as it stands, a
// file of that odd name in the current folder. Set it before the first line is written.
void SetLogFolder(const std::string& folder);
// The file a log path names (the mapping above).
std::string SystemLogFilePath(const std::string& path);
#endif

}  // namespace tracefile
