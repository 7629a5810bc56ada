// The hardware button map: an optional administrator file, HardwareButtonMap.ini, that renumbers the
// hardware button codes before they are reported.
#pragma once

#include <cstdint>
#include <map>
#include <string>

using HardwareButtonMap = std::map<int32_t, int32_t>;

// The process-wide map, loaded at the first call from HardwareButtonMap.ini in the program folder
// (or the current directory when no program folder is known) and never reloaded. The mapped code,
// or `code` itself when the map has no entry. Safe to call from several reader threads at once: the
// first caller loads the map while any others wait, and the map is read-only afterwards.
int32_t MapHardwareButton(int32_t code);

// The name the map is loaded from: base name "HardwareButtonMap", extension "ini", in the folder
// that GetProgramFolder reports, or relative to the current directory.
std::string HardwareButtonMapFileName();

// Fills `map` from section "HardwareButtonMap" of the named file, resolved through the system's file
// search path: keys in file order, each key and its value converted by ParseProfileInteger; an entry
// already in the map is kept, so the first line for a code wins. Nothing when the file does not exist
// or names a directory.
void LoadHardwareButtonMap(const std::string& fileName, HardwareButtonMap& map);

// atoi's rules on a profile text: leading white space, an optional sign, then decimal digits up to
// the first non-digit; no digits gives 0. A value beyond the int32 range is clamped to it.
int32_t ParseProfileInteger(const std::string& text);
