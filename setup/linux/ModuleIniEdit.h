// The channel's entries in the ICA Client's module.ini, edited so that nothing else changes:
//   [ICA 3.0]  VirtualDriver gains the whole entry "TovUSB" (", TovUSB" after other entries),
//              and the key "TovUSB=On" follows the section's last key;
//   [TovUSB]   a section of its own, "DriverName=VDTOVUSB.DLL", after a blank line at the end.
// Every other byte (comments, order, blank lines, CR LF or LF, a missing final line end) stays.
// Removing takes out exactly these, so adding and removing gives back a file without them byte
// for byte.
#pragma once

#include <string>

namespace linuxsetup {

// What a module.ini holds of the channel.
struct ModuleIniStatus {
    bool icaSection = false;  // [ICA 3.0] is there
    bool listKey = false;     // it has a VirtualDriver key
    std::string list;         // its value
    bool listEntry = false;   // "TovUSB" is a whole entry of it
    bool channelKey = false;  // [ICA 3.0] has a TovUSB key
    bool enabled = false;     // and its value is "On" (letter case ignored)
    bool channelSection = false;  // [TovUSB] is there
    bool driverName = false;      // it has DriverName=VDTOVUSB.DLL (exactly: file names are case-sensitive)
    // Any trace of the channel: a list entry, a TovUSB key in [ICA 3.0], a [TovUSB] section.
    bool AnyEntry() const;
    bool Complete() const { return listEntry && enabled && driverName; }
};

ModuleIniStatus InspectModuleIni(const std::string& bytes);

struct ModuleIniEdit {
    bool ok = false;
    std::string error;  // why not, when !ok
    std::string text;   // the new file, when ok
    bool changed = false;
    std::string list;   // the VirtualDriver list afterwards
};

// Adds what is missing. Fails (nothing to write) without [ICA 3.0] or without its VirtualDriver key.
ModuleIniEdit AddChannel(const std::string& bytes);
// Removes every entry of the channel. Fails without [ICA 3.0].
ModuleIniEdit RemoveChannel(const std::string& bytes);

}  // namespace linuxsetup
