// Registers the TovUSB channel driver with the Citrix ICA Clients on this PC, and removes it.
//
// An installation is three things per ICA Client: the channel's module key naming the driver file,
// the channel's entry in the client's "VirtualDriverEx" list, and the driver file copied from the
// setup program's folder into the client's folder. The machine-wide clients' keys are under
// HKEY_LOCAL_MACHINE; a client a user installed for themselves is handled apart, per user (see
// InstallScope), with the same three pieces under HKEY_CURRENT_USER and in its folder. A PC may
// have the 32-bit client (keys in the 32-bit registry view, driver "TovaroCitrixVC.dll" beside the
// program), the 64-bit client (same key paths in the 64-bit view, driver "x64\TovaroCitrixVC.dll"
// beside the program), both or none; the 64-bit one exists only on 64-bit Windows. A client whose
// "InstallFolder" names a folder that does not exist (left behind when that client was removed) is
// reported and skipped.
//
// Without a 64-bit client every query, procedure and log line concerns the 32-bit client alone.
// With one, the procedures act on every client found, 32-bit first, each of its lines prefixed
// with the client's name ("64-bit client: ...").
//
// Install is all or nothing: it checks every client before it changes anything (driver files,
// the type of "VirtualDriverEx", two clients sharing one folder), then registers each client, and
// when a step fails it puts back what it changed, for every client, so that the PC has exactly the
// registration it had before. A driver file in the client's folder that a running ICA Client has
// loaded cannot be overwritten: it is renamed aside ("TovaroCitrixVC.dll.old-<n>") and deleted at
// the next restart, and the new file takes its place at once.
//
// Uninstall removes each piece that is there (module key, list entry, driver file) on its own, so
// that a run after a partial removal finishes it; a loaded driver file is renamed aside and deleted
// at the next restart.
//
// Heal registers the channel with each client found whose registration is not whole (see
// IsRegistrationWhole), through the install's own steps and rules, one client at a time: a client
// that fails is put back as it was and does not keep another one from being healed. Within such a
// client it rewrites only what is not right (a module value that already names the driver and a
// driver file identical to the program's stay untouched). A whole client is not touched and gets
// no log line. Heal removes nothing: the leftovers of a client that is gone, or a channel entry
// of a client whose folder is missing, stay for the administrator (a client reinstalled into the
// same place then finds them, and a scheduled run at every start must never take away what an
// administrator or another tool put there on purpose).
//
// The queries write nothing; the procedures write every step to the log. Everything runs on the
// caller's thread (the dialog's only thread, or the command line's).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "FileName.h"
#include "ICAClients.h"
#include "InstallerLog.h"
#include "Registry.h"

class CChannelInstaller {
public:
    using ClientBitness = installer::ClientBitness;
    // Finds the folder the driver files are copied from: the folder of the running setup program.
    using ProgramFolderLookup = std::function<bool(CFileName&)>;
    // Tells whether Windows is 64-bit (and so may have a 64-bit ICA Client).
    using WindowsBitnessLookup = std::function<bool()>;

    // Machine-wide: the clients registered under HKEY_LOCAL_MACHINE. Per-user: the one client that
    // the user running the program installed for themselves (UserClient.h), registered under
    // HKEY_CURRENT_USER and in its folder with the same steps and rules; nothing machine-wide is
    // read or written then.
    enum class InstallScope { kMachine, kUser };

    CChannelInstaller();  // machine-wide; uses GetProgramFolder and the running Windows
    explicit CChannelInstaller(InstallScope scope);
    explicit CChannelInstaller(ProgramFolderLookup programFolder, WindowsBitnessLookup is64BitWindows = nullptr);

    bool IsPerUser() const { return scope == InstallScope::kUser; }

    // The client's "InstallFolder" value (environment references expanded when it is stored as
    // REG_EXPAND_SZ), or "" when it cannot be read (always "" for the 64-bit client on 32-bit
    // Windows).
    std::string GetICAClientFolder(ClientBitness client = ClientBitness::k32) const;
    bool IsICAClientInstalled(ClientBitness client = ClientBitness::k32) const;
    // True when the client's "InstallFolder" names an existing folder.
    bool IsClientFolderPresent(ClientBitness client = ClientBitness::k32) const;
    // True when any piece of the channel is there: the module key, the list entry or the driver
    // file in the client's folder (so that Uninstall can remove what a stopped run left).
    bool IsChannelInstalled(ClientBitness client = ClientBitness::k32) const;
    // The pieces one by one: the module key's "DriverNameWin32" can be read; "TovUSB" is a whole
    // entry of "VirtualDriverEx"; the driver file is in the client's folder.
    bool IsModuleKeyPresent(ClientBitness client = ClientBitness::k32) const;
    bool IsListEntryPresent(ClientBitness client = ClientBitness::k32) const;
    bool IsDriverFilePresent(ClientBitness client = ClientBitness::k32) const;
    // The program's folder followed by the client's driver ("TovaroCitrixVC.dll" or
    // "x64\TovaroCitrixVC.dll"). Throws the int 1 when the program's folder cannot be determined.
    std::string GetDriverSourcePath(ClientBitness client = ClientBitness::k32) const;
    // True when the driver source path names an existing file (not a folder); false also when the
    // program's folder cannot be determined.
    bool DriverSourceExists(ClientBitness client = ClientBitness::k32) const;
    // The client's folder followed by "TovaroCitrixVC.dll", with a separator between them when the
    // folder value does not end with one. "" when the client is not installed.
    std::string GetDriverTargetPath(ClientBitness client = ClientBitness::k32) const;

    // True when the channel is wholly registered with the client: the module key's
    // "DriverNameWin32" is "TovaroCitrixVC.dll", "TovUSB" is an entry of its list, and the driver
    // file in its folder holds the same bytes as the one beside the program.
    bool IsRegistrationWhole(ClientBitness client) const;

    // True on 64-bit Windows with the 64-bit client installed: the PC is then handled per client.
    bool Is64BitClientPresent() const;
    // The clients the procedures act on, in their order: those installed whose folder exists.
    std::vector<ClientBitness> ClientsFound() const;
    // Install can run: some client is found, and every client found has its driver beside the
    // program.
    bool CanInstall() const;
    // Uninstall can run: some client is installed and has the channel registered.
    bool CanUninstall() const;

    // The state lines the dialog shows when it opens (without the blank line after them); the
    // machine-wide report also names a per-user client of the user running the program.
    void ReportState(CInstallerLogInterface& log) const;

    // True when every step for every client found succeeded; false after any logged failure,
    // also when no client is installed. A failed install has put back what it changed.
    bool OnInstall(CInstallerLogInterface& log) const;
    bool OnUninstall(CInstallerLogInterface& log) const;
    // True when every client found is wholly registered afterwards (also when there is none).
    bool OnHeal(CInstallerLogInterface& log) const;

    // What an install changed for one client, so that a later failure can put it back.
    struct ClientChanges;

private:
    // The client's registry value, stored type and key: HKEY_LOCAL_MACHINE in the client's view,
    // or HKEY_CURRENT_USER for the per-user client.
    CRegistry Value(ClientBitness client, const char* key, const char* value) const;
    bool ValueType(ClientBitness client, const char* key, const char* value, uint32_t& type) const;
    bool KeyPresent(ClientBitness client, const char* key) const;
    // In front of a client's lines: "Per-user client: ", "64-bit client: " when `perClient`, or "".
    std::string Label(ClientBitness client, bool perClient) const;
    std::string NotInstalledLine() const;
    void ReportMachineClients(CInstallerLogInterface& log) const;
    void ReportUserClient(CInstallerLogInterface& log) const;
    bool CheckBeforeInstall(ClientBitness client, CInstallerLogInterface& log) const;
    bool CheckListType(ClientBitness client, CInstallerLogInterface& log) const;
    bool CheckSeparateFolders(const std::vector<ClientBitness>& clients, CInstallerLogInterface& log) const;
    // `keepWhatIsRight`: leave a module value and a driver file that are already right as they are.
    bool InstallFor(ClientBitness client, CInstallerLogInterface& log, ClientChanges& changes,
                    bool keepWhatIsRight = false) const;
    void FinishInstall(const ClientChanges& changes, CInstallerLogInterface& log) const;
    void PutBack(const ClientChanges& changes, CInstallerLogInterface& log) const;
    bool UninstallFor(ClientBitness client, CInstallerLogInterface& log) const;
    void ReportMissingFolders(CInstallerLogInterface& log) const;
    bool Is64BitWindows() const;

    ProgramFolderLookup programFolder;
    WindowsBitnessLookup is64BitWindows;
    InstallScope scope = InstallScope::kMachine;
};
