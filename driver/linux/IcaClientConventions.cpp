// The shipping Linux driver's ways with what Windows does with a message box and fixed paths,
// installed when the ICA Client for Linux loads VDTOVUSB.DLL (before any other static object of
// the module is built, so before the first trace line):
// - a message box (the reader thread's failure) becomes one syslog line and one trace line;
// - the trace logs "c:\CitrixClient.log" and "C:\CitrixServer.log" are CitrixClient.log and
//   CitrixServer.log in $HOME/.ICAClient, the ICA Client's per-user folder, written only when they
//   exist, as on Windows;
// - HardwareButtonMap.ini is looked up in $HOME/.ICAClient, then in the folder of this module.
#include <dlfcn.h>
#include <string>

#include "IcaClientFolders.h"
#include "MessageBox.h"
#include "ProfileFile.h"
#include "SystemLog.h"
#include "TraceFile.h"

namespace {

std::string ModuleFolder() {
    Dl_info info = {};
    if (dladdr(reinterpret_cast<void*>(&ModuleFolder), &info) == 0 || !info.dli_fname) return std::string();
    const std::string path = info.dli_fname;
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/") : path.substr(0, slash);
}

__attribute__((constructor(101))) void InstallIcaClientConventions() {
    const IcaClientFolders folders = FindIcaClientFolders(UserHomeFolder(), ModuleFolder());
    SetMessageBoxHandler(&SystemLogMessageBox);
    tracefile::SetLogFolder(folders.traceFolder);
    SetProfileSearchFolders(folders.buttonMapFolders);
}

}  // namespace
