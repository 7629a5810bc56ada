#include "SessionsText.h"

#include "ButtonsGoTo.h"
#include "FormatString.h"
#include "SharedSessionRecord_win32.h"

std::vector<std::string> SessionsLines() {
    std::vector<std::string> lines;
    std::string note;
    const ButtonsGoTo setting = ReadButtonsGoTo(note);
    lines.push_back(std::string("Buttons of a device in several ICA sessions go to: ") + ButtonsGoToName(setting) +
                    (note.empty() ? "" : " (" + note + ")"));
    CSharedSessionRecord record;
    std::string whyNot;
    std::vector<SharedDeviceView> devices;
    if (!record.Open(whyNot, true)) {
        lines.push_back("No ICA session shares a device now" + (whyNot.empty() ? std::string() : " (" + whyNot + ")"));
    } else if (!record.Describe(devices)) {
        lines.push_back("The sessions' record is busy; shown again at the next change");
    } else if (devices.empty()) {
        lines.push_back("No ICA session has a device connected now");
    }
    for (const SharedDeviceView& device : devices) {
        const std::string owner = device.ownerAlive
                                      ? FormatString("the session of ICA Client process %u", device.ownerProcessId)
                                      : std::string("the next session to get a press");
        lines.push_back(FormatString("%s: connected in %i session(s); its buttons go to %s", device.path.c_str(),
                                     device.sessionsConnected, owner.c_str()));
    }
    return lines;
}
