// Where the install and uninstall procedures write: the setup dialog's numbered log.
#pragma once

#include <string>

class CInstallerLogInterface {
public:
    virtual ~CInstallerLogInterface() = default;
    // Appends one numbered line (an empty text is a blank line that still uses up a number).
    virtual void AddLogLine(const std::string& text) = 0;
    // Re-evaluates what the user can do next (the dialog's data exchange).
    virtual void Refresh() = 0;
};
