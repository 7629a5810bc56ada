// A spy on the file opens of one loaded module: its import table's CreateFileA and CreateFileW
// entries are pointed at recorders that note the path and then call the system. It proves which
// paths a module handed to the system's open, without changing the module.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace winehid {

// Installs the spy on module (one module at a time) and clears the record; false when the module
// imports neither function. Uninstall restores the entries.
bool InstallOpenSpy(HMODULE module);
void UninstallOpenSpy();
// The paths opened through the spied entries since the install, in call order.
std::vector<std::string> SpiedOpens();

}  // namespace winehid
