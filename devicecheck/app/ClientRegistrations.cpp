#include "ClientRegistrations.h"

#include "ChannelInstaller.h"
#include "DiskFile.h"
#include "ICAClients.h"
#include "InstallerNames.h"
#include "PeImage.h"
#include "Registry.h"
#include "VirtualDriverList.h"

namespace {

// "TovUSB" is a whole entry of the client's "VirtualDriverEx" list, read in the client's view.
bool ListHoldsChannel(const installer::ClientTraits& traits) {
    CRegistry value(kRegistryLocalMachine, CFileName(installer::kVirtualDriverListKey, FileNameSyntax::Windows()),
                    installer::kVirtualDriverListValue, traits.view);
    std::string list;
    return value.ReadString(list) && installer::FindInList(list, installer::kChannelName) != std::string::npos;
}

}  // namespace

std::vector<ClientRegistration> FindClientRegistrations() {
    std::vector<ClientRegistration> clients;
    const CChannelInstaller installer;
    for (installer::ClientBitness bitness : installer.ClientsFound()) {
        const installer::ClientTraits& traits = installer::Traits(bitness);
        ClientRegistration client;
        client.client = std::string(traits.name) + " ICA Client";
        client.machineType = traits.machineText;
        client.folder = installer.GetICAClientFolder(bitness);
        client.moduleKey = installer.IsChannelInstalled(bitness);
        client.listEntry = ListHoldsChannel(traits);
        client.driverPath = installer.GetDriverTargetPath(bitness);
        CDiskFile driver;
        client.driverPresent = driver.SetPath(client.driverPath) && driver.Exists();
        client.driverMachineType = client.driverPresent && installer::IsDllForMachine(client.driverPath, traits.machine);
        clients.push_back(client);
    }
    return clients;
}
