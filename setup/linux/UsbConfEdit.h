// The ICA Client's USB redirection rules ($ICAROOT/usb.conf, first matching rule wins): one line
//   DENY: vid=0911 pid=0c1c # TovUSB: Philips SpeechMike III
// per supported model, placed before the first rule that is not ours, so that the client's generic
// USB redirection never takes a device away from the driver. The comment marks the line as ours;
// removing takes out exactly the marked lines and nothing else.
#pragma once

#include <string>
#include <vector>

#include "DeviceModels.h"

namespace linuxsetup {

// Our line for one model.
std::string UsbConfLine(const DeviceModel& model);
// True for a line of ours (a DENY rule carrying the mark), whichever model it names.
bool IsOurUsbConfLine(const std::string& text);

struct UsbConfStatus {
    size_t expected = 0;    // models
    size_t present = 0;     // of those, lines of ours before the first other rule
    size_t misplaced = 0;   // lines of ours after another rule, or for no model of ours
};
UsbConfStatus InspectUsbConf(const std::string& bytes, const std::vector<DeviceModel>& models);

// Our lines, in model order, right before the first other rule (at the end when there is none);
// old lines of ours are taken out first, so a second run changes nothing.
std::string AddDenyLines(const std::string& bytes, const std::vector<DeviceModel>& models);
// Takes out every line of ours.
std::string RemoveDenyLines(const std::string& bytes);

}  // namespace linuxsetup
