#include "ClientRegistrations.h"

#include "ChannelInstaller.h"
#include "ICAClients.h"
#include "InstallerNames.h"
#include "PeImage.h"

namespace {

void AddRegistrations(const CChannelInstaller& installer, const std::string& kind,
                      std::vector<ClientRegistration>& clients) {
    for (installer::ClientBitness bitness : {installer::ClientBitness::k32, installer::ClientBitness::k64}) {
        // Also a client whose folder is gone: what is left of the channel is still shown.
        if (!installer.IsICAClientInstalled(bitness)) continue;
        const installer::ClientTraits& traits = installer::Traits(bitness);
        ClientRegistration client;
        client.client = kind + std::string(traits.name) + " ICA Client";
        client.machineType = traits.machineText;
        client.folder = installer.GetICAClientFolder(bitness);
        // Each piece on its own: the installer's "channel installed" means any of them.
        client.moduleKey = installer.IsModuleKeyPresent(bitness);
        client.listEntry = installer.IsListEntryPresent(bitness);
        client.driverPath = installer.GetDriverTargetPath(bitness);
        client.driverPresent = installer.IsDriverFilePresent(bitness);
        client.driverMachineType = client.driverPresent && installer::IsDllForMachine(client.driverPath, traits.machine);
        clients.push_back(client);
    }
}

}  // namespace

std::vector<ClientRegistration> FindClientRegistrations() {
    std::vector<ClientRegistration> clients;
    AddRegistrations(CChannelInstaller(), "", clients);
    AddRegistrations(CChannelInstaller(CChannelInstaller::InstallScope::kUser), "per-user ", clients);
    return clients;
}
