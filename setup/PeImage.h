// Reads the header of a Windows executable file to tell whether it is a DLL for a given machine.
#pragma once

#include <cstdint>
#include <string>

namespace installer {

// True when the file at `path` is a PE image marked as a DLL whose machine type is `machine`
// (0x014C i386, 0x8664 x86-64) and whose optional header has the matching format (PE32 for i386,
// PE32+ for x86-64). False for a missing, short or malformed file, or any other machine.
bool IsDllForMachine(const std::string& path, uint16_t machine);

// The machine type in the PE header of the file at `path` (any image: a program or a DLL); 0 for a
// missing, short or malformed file.
uint16_t PeImageMachine(const std::string& path);

// The same check on the file's first bytes (at least up to the optional header's format field).
bool IsDllImageForMachine(const std::string& bytes, uint16_t machine);

}  // namespace installer
