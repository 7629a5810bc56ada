// Editing the ICA Client's comma-separated list of extra virtual drivers ("VirtualDriverEx").
#pragma once

#include <string>

namespace installer {

// Position of the first entry of `list` equal to `name`: entries are split at commas, blanks around
// them are ignored and letters compared case-insensitively (both lower-cased under the ANSI code
// page). std::string::npos when absent; an entry that merely contains the name ("TovUSB2",
// "XTovUSB") is another driver's and does not count.
size_t FindInList(const std::string& list, const std::string& name);

// Adds `name` to the list unless FindInList finds it: ", " and the name after a non-empty list,
// the name alone after an empty one. True when the list changed.
bool AddToList(std::string& list, const std::string& name);

// Removes one entry equal to `name` (case-insensitively, blanks around entries ignored): together
// with the ", " before it when there is one, otherwise the name alone (so "TovUSB, B" becomes
// ", B"). An entry that merely contains the name ("TovUSB2") is never touched. True when the
// list changed.
bool RemoveFromList(std::string& list, const std::string& name);

}  // namespace installer
