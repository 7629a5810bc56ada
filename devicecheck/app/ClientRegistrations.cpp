#include "ClientRegistrations.h"

#include "ChannelInstaller.h"
#include "DiskFile.h"
#include "InstallerNames.h"
#include "Registry.h"
#include "VirtualDriverList.h"

std::vector<ClientRegistration> FindClientRegistrations() {
    std::vector<ClientRegistration> clients;
    CChannelInstaller installer;
    if (!installer.IsICAClientInstalled()) return clients;
    ClientRegistration client;
    client.client = "32-bit ICA Client";
    client.machineType = "i386";
    client.folder = installer.GetICAClientFolder();
    client.moduleKey = installer.IsChannelInstalled();
    std::string list;
    CRegistry listValue(kRegistryLocalMachine, CFileName(installer::kVirtualDriverListKey, FileNameSyntax::Windows()),
                        installer::kVirtualDriverListValue);
    client.listEntry = listValue.ReadString(list) && installer::FindInList(list, installer::kChannelName) != std::string::npos;
    client.driverPath = installer.GetDriverTargetPath();
    CDiskFile driver;
    client.driverPresent = driver.SetPath(client.driverPath) && driver.Exists();
    client.driverMachineType = client.driverPresent;
    clients.push_back(client);
    return clients;
}
