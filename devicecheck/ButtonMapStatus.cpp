#include "ButtonMapStatus.h"

#include "CurrentFolder.h"
#include "ProfileFile.h"

ButtonMapStatus InspectHardwareButtonMap() {
    ButtonMapStatus status;
    status.lookedFor = HardwareButtonMapFileName();
    status.currentFolder = devicecheck::CurrentFolder();
    if (!ProfileFileExists(status.lookedFor)) return status;
    status.found = true;
    status.path = ResolveProfileFileName(status.lookedFor);
    LoadHardwareButtonMap(status.lookedFor, status.entries);
    return status;
}
