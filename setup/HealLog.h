// The heal's log: it runs at every start and every logon, so it writes only what matters. A heal
// that changes nothing writes nothing; one that changes something writes its lines; one that
// fails writes its lines once, and the same failure again only on a later day. What the last
// failure was, and on which day it was written, is kept in a small file beside the log
// ("<log>.heal-failure").
#pragma once

#include <string>
#include <vector>

#include "InstallerLog.h"

class CHealLog : public CInstallerLogInterface {
public:
    // `today`: the local date as "YYYY-MM-DD". `logFile` "" keeps nothing.
    CHealLog(CInstallerLogInterface& log, std::string logFile, std::string today);

    void AddLogLine(const std::string& text) override { lines.push_back(text); }
    void Refresh() override {}

    // Writes the heal's lines to the log, or not (see above), and keeps the failure's record.
    void Finish(bool healed);

private:
    CInstallerLogInterface& log;
    std::string recordFile, today;
    std::vector<std::string> lines;
};
