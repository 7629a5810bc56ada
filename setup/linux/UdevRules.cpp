#include "UdevRules.h"

#include <cctype>

namespace linuxsetup {

namespace {

std::string UpperHex(uint16_t id) {
    std::string hex = HexId(id);
    for (char& c : hex) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return hex;
}

constexpr const char* kGroupAssignment = "GROUP=\"";

}  // namespace

std::string UdevRulesText(const std::vector<DeviceModel>& models, const std::string& group) {
    std::string text =
        "# TovUSB: read and write access to the hidraw nodes of the supported dictation devices,\n"
        "# for the user of the local seat (uaccess)";
    text += group.empty() ? ".\n" : " and for the members of group " + group + ".\n";
    text += "# Written by tovusb-setup from the driver's supported-device table; do not edit.\n";
    for (const DeviceModel& model : models) {
        text += "\n# " + model.name + "\n";
        text += "SUBSYSTEM==\"hidraw\", KERNELS==\"*:" + UpperHex(model.vendorID) + ":" + UpperHex(model.productID) +
                ".*\", TAG+=\"uaccess\"";
        if (!group.empty()) text += std::string(", ") + kGroupAssignment + group + "\", MODE=\"0660\"";
        text += "\n";
    }
    return text;
}

bool IsValidGroupName(const std::string& group) {
    if (group.empty() || group.size() > 32 || group[0] == '-') return false;
    for (char c : group) {
        const bool ok = std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.' || c == '-';
        if (!ok) return false;
    }
    return true;
}

std::string RulesGroup(const std::string& rulesText) {
    const size_t at = rulesText.find(kGroupAssignment);
    if (at == std::string::npos) return "";
    const size_t begin = at + std::char_traits<char>::length(kGroupAssignment);
    const size_t end = rulesText.find('"', begin);
    if (end == std::string::npos || end - begin > 32) return "";
    return rulesText.substr(begin, end - begin);
}

}  // namespace linuxsetup
