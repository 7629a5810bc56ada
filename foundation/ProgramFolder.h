// The folder of the running program of the maker's software family.
#pragma once

#include <string>
#include <vector>

#include "FileName.h"

// The folder (name and extension cleared) of the first module of the maker's list that is loaded
// in this process, each name tried as a library and then as a program. The setup program
// "TovaroCitrixVCClientSetup" is in the list, the channel driver is not: for the setup program the
// answer is the folder of its executable. Once found, the folder is kept for the life of the
// process; when no listed module is loaded the answer is false and the next call searches again.
// Not synchronised: call it from one thread (the setup program has only one).
bool GetProgramFolder(CFileName& folder);

// The module names GetProgramFolder looks for, in the order it tries them.
const std::vector<std::string>& ProgramModuleNames();

namespace programfolder {
// Platform part: the full path of the loaded module `baseName` (".dll" then ".exe" on Windows;
// "lib<name>.so" then the program "<name>" natively), or false when it is not loaded.
bool FindLoadedModule(const std::string& baseName, std::string& fullPath);
}  // namespace programfolder
