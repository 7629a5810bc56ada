#include "IcaClientFolders.h"

IcaClientFolders FindIcaClientFolders(const std::string& home, const std::string& moduleFolder) {
    IcaClientFolders folders;
    if (!home.empty()) {
        std::string client = home;
        while (client.size() > 1 && client.back() == '/') client.pop_back();
        client += client == "/" ? ".ICAClient" : "/.ICAClient";
        folders.traceFolder = client;
        folders.buttonMapFolders.push_back(client);
    }
    if (!moduleFolder.empty()) folders.buttonMapFolders.push_back(moduleFolder);
    return folders;
}
