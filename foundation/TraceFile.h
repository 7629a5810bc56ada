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

}  // namespace tracefile
