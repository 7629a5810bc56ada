#include "UsbConfEdit.h"

#include "LinuxNames.h"
#include "TextLines.h"

namespace linuxsetup {

namespace {

bool IsRule(const std::string& text) {
    const std::string trimmed = Trim(text);
    return !trimmed.empty() && trimmed[0] != '#';
}

void EraseOurLines(TextLines& lines) {
    for (size_t i = lines.size(); i-- > 0;)
        if (IsOurUsbConfLine(lines[i].text)) EraseLine(lines, i);
}

}  // namespace

std::string UsbConfLine(const DeviceModel& model) {
    return "DENY: vid=" + HexId(model.vendorID) + " pid=" + HexId(model.productID) + kUsbConfMark + model.name;
}

bool IsOurUsbConfLine(const std::string& text) {
    const std::string trimmed = Trim(text);
    return trimmed.compare(0, 5, "DENY:") == 0 && trimmed.find(Trim(kUsbConfMark)) != std::string::npos;
}

UsbConfStatus InspectUsbConf(const std::string& bytes, const std::vector<DeviceModel>& models) {
    UsbConfStatus status;
    status.expected = models.size();
    std::vector<bool> found(models.size(), false);
    bool otherRuleSeen = false;
    for (const TextLine& line : SplitLines(bytes)) {
        if (!IsOurUsbConfLine(line.text)) {
            otherRuleSeen = otherRuleSeen || IsRule(line.text);
            continue;
        }
        bool known = false;
        for (size_t m = 0; m < models.size(); ++m) {
            if (Trim(line.text) != UsbConfLine(models[m])) continue;
            known = true;
            if (!otherRuleSeen && !found[m]) {
                found[m] = true;
                ++status.present;
            } else if (otherRuleSeen) {
                ++status.misplaced;
            }
        }
        if (!known) ++status.misplaced;
    }
    return status;
}

std::string AddDenyLines(const std::string& bytes, const std::vector<DeviceModel>& models) {
    TextLines lines = SplitLines(bytes);
    EraseOurLines(lines);
    const std::string eol = NewLineEnd(lines);
    size_t at = 0;
    while (at < lines.size() && !IsRule(lines[at].text)) ++at;
    for (const DeviceModel& model : models) InsertLine(lines, at++, UsbConfLine(model), eol);
    return JoinLines(lines);
}

std::string RemoveDenyLines(const std::string& bytes) {
    TextLines lines = SplitLines(bytes);
    EraseOurLines(lines);
    return JoinLines(lines);
}

}  // namespace linuxsetup
