// File operations on the driver in an ICA Client's folder that Windows restricts while the file is
// loaded: a DLL that a running ICA Client has loaded can be neither deleted nor overwritten, only
// renamed within its folder. The installer therefore moves such a file aside under a name of its
// own ("TovaroCitrixVC.dll.old-<n>") and has Windows delete it at the next restart.
#pragma once

#include <string>

namespace installer {

// True when `path` names an existing folder.
bool FolderExists(const std::string& path);

// True when the two paths name the same folder: the same folder on the same volume (whatever the
// spelling, 8.3 names or letter case), or, for folders that cannot be opened, the same full path.
bool IsSameFolder(const std::string& a, const std::string& b);

// True when both files exist and hold the same bytes (read in pieces, whatever their size).
bool SameFileContent(const std::string& a, const std::string& b);

// Renames `path` to the first free "<path>.old-<n>" (n from 1) in the same folder and returns the
// new name; "" when the file cannot be renamed (nothing changed then).
std::string MoveAside(const std::string& path);

// Moves `from` back to `to` (which must not exist).
bool MoveBack(const std::string& from, const std::string& to);

// Deletes the file (clearing its read-only attribute first); true when it is gone.
bool DeleteDriverFile(const std::string& path);

// Asks Windows to delete the file when it next starts (MOVEFILE_DELAY_UNTIL_REBOOT; needs the
// rights of an installation).
bool DeleteAtRestart(const std::string& path);

// Deletes what earlier runs moved aside in `folder` ("TovaroCitrixVC.dll.old-*") where that is
// possible now; files still in use stay for their restart.
void DeleteMovedAsideFiles(const std::string& folder);

}  // namespace installer
