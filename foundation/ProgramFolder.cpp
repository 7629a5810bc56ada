#include "ProgramFolder.h"

namespace {

// Set by the first successful search; read and written only from the program's one thread.
bool programFolderKnown = false;
CFileName& StoredProgramFolder() {
    static CFileName folder(FileNameSyntax::Native());
    return folder;
}

}  // namespace

const std::vector<std::string>& ProgramModuleNames() {
    static const std::vector<std::string> names = {
        "TovaroCitrixVCClientSetup",
        "TovaroDictationHub",
        "TovaroDeviceConsole",
        "TovaroSpeechBridge",
        "TovaroFootControl",
    };
    return names;
}

bool GetProgramFolder(CFileName& folder) {
    if (!programFolderKnown) {
        std::vector<std::string> found;
        for (const std::string& name : ProgramModuleNames()) {
            std::string path;
            if (programfolder::FindLoadedModule(name, path)) found.push_back(path);
        }
        if (found.empty()) return false;
        CFileName parsed(FileNameSyntax::Native());
        if (!parsed.SetFullName(found.front())) return false;
        parsed.ClearNameAndExtension();
        StoredProgramFolder() = parsed;
        programFolderKnown = true;
    }
    folder = StoredProgramFolder();
    return true;
}
