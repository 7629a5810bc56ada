// The platform's access to an initialisation (profile) file, as the hardware button map reads it.
// Windows uses the system's profile calls; the native build reads the same format with its own
// reader that keeps their rules: sections and keys compared without regard to letter case, the first
// section of a name and the first line of a key win, keys listed in file order, keys and values
// trimmed of surrounding white space, a value in matching quotes unquoted.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Size of the buffer that receives a section's key list; a longer list is cut.
constexpr size_t kProfileKeyListLength = 60000;
// Size of the buffer that receives one value; a longer value is cut to one less.
constexpr size_t kProfileValueLength = 1024;

// True when the name denotes an existing file (not a directory).
bool ProfileFileExists(const std::string& fileName);

// The full path of the file found through the system's file search path, or the name itself when
// the search finds nothing.
std::string ResolveProfileFileName(const std::string& fileName);

// The key names of the section in file order (empty when the file or section is missing).
void ReadProfileKeyNames(const std::string& fileName, const std::string& section,
                         std::vector<std::string>& keys);

// The value of the key's first line in the section; false when the key cannot be read.
bool ReadProfileString(const std::string& fileName, const std::string& section,
                       const std::string& key, std::string& value);

#if !defined(_WIN32)
// Natively a file name without a folder (the hardware button map's when no program folder is
// known) is looked up in these folders, in order, when any are set: the Linux driver sets the ICA
// Client's folder ($HOME/.ICAClient) and its own folder at load. With none set (the native test
// builds) the name is relative to the current folder, as on Windows. Set them before the first
// lookup.
void SetProfileSearchFolders(const std::vector<std::string>& folders);
#endif

// Splits a key list as the profile call returns it: NUL-terminated names, ended by an empty name or
// by the end of the `length` characters returned.
void SplitProfileKeyList(const char* buffer, size_t length, std::vector<std::string>& keys);
