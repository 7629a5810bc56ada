// Where this process finds HardwareButtonMap.ini and what it holds: the same lookup the button
// device makes before it reports its first button.
#pragma once

#include <string>

#include "HardwareButtonMap.h"

struct ButtonMapStatus {
    std::string lookedFor;  // the name the lookup tried (relative to the current folder when no
                            // program folder of the product family is known)
    std::string currentFolder;  // the process's current folder, which a relative name means
    bool found = false;
    std::string path;           // the file that was read (found only)
    HardwareButtonMap entries;  // hardware code -> reported code (found only)
};

// Looks the file up and reads it, without touching the process-wide map that MapHardwareButton
// loads once; call MapHardwareButton first so that both read the file as it is now.
ButtonMapStatus InspectHardwareButtonMap();
