// The udev rules that give the session user the supported devices' hidraw nodes. One rule per
// model matches the hidraw node whose HID device carries the model's ids (the kernel names HID
// devices "BUS:VENDOR:PRODUCT.N" in upper-case hexadecimal, for USB, Bluetooth and uhid alike) and
// tags it "uaccess", so logind gives the user of the local seat access. Thin clients whose session
// user has no seat name a group instead: its members get read and write access (mode 0660).
#pragma once

#include <string>
#include <vector>

#include "DeviceModels.h"

namespace linuxsetup {

// The whole rules file; `group` may be "" (seat user only).
std::string UdevRulesText(const std::vector<DeviceModel>& models, const std::string& group);

// A group name that may stand in a rule: 1 to 32 of A-Z a-z 0-9 _ . -, not starting with "-".
bool IsValidGroupName(const std::string& group);

// The group a rules file of ours names, or "" when it names none.
std::string RulesGroup(const std::string& rulesText);

}  // namespace linuxsetup
