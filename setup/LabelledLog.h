// Passes the installer's lines on with the name of the ICA Client they concern in front, for a PC
// with more than one client, where the same key path exists once per registry view.
#pragma once

#include <string>

#include "InstallerLog.h"

class CLabelledLog : public CInstallerLogInterface {
public:
    CLabelledLog(CInstallerLogInterface& log, std::string label) : log(log), label(std::move(label)) {}
    void AddLogLine(const std::string& text) override { log.AddLogLine(text.empty() ? text : label + text); }
    void Refresh() override { log.Refresh(); }

private:
    CInstallerLogInterface& log;
    std::string label;
};
