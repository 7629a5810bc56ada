#include "TerminalReport.h"

#include "CheckText.h"
#include "FormatString.h"

namespace devicecheck {

namespace {

void Add(std::string& text, const std::string& line) {
    text += line;
    text += '\n';
}

}  // namespace

std::vector<std::string> DeviceListLines(const std::list<USBButtonDeviceDescriptor>& devices, int otherHIDDevices,
                                         const std::string& listError, const std::string& selectedPath,
                                         const std::map<std::string, std::string>& cannotOpen) {
    std::vector<std::string> lines;
    lines.push_back(FormatString("Supported devices: %i", static_cast<int>(devices.size())));
    int number = 0;
    for (const USBButtonDeviceDescriptor& device : devices) {
        ++number;
        const bool selected = !selectedPath.empty() && device.hidInfo.devicePath == selectedPath;
        lines.push_back(FormatString("  %i%s %s  %s", number, selected ? "*" : " ", DeviceLine(device).c_str(),
                                     device.hidInfo.devicePath.c_str()));
        const auto refused = cannotOpen.find(device.hidInfo.devicePath);
        if (refused != cannotOpen.end()) {
            lines.push_back("     this user cannot open it (" + refused->second +
                            "): the udev rule does not give this device to this user");
        }
    }
    if (!listError.empty()) lines.push_back("  Listing failed: " + listError);
    lines.push_back("  " + OtherHIDDevicesText(otherHIDDevices));
    return lines;
}

std::vector<std::string> LinuxButtonMapLines(const ButtonMapStatus& status, const std::vector<std::string>& folders) {
    if (status.found) return ButtonMapLines(status);
    std::string where;
    for (const std::string& folder : folders) {
        if (!where.empty()) where += ", ";
        where += folder;
    }
    if (where.empty()) where = "no folder";
    return {"No HardwareButtonMap.ini (looked in " + where + "): codes are reported as decoded"};
}

std::string BuildTerminalReport(const TerminalReportContent& content) {
    std::string text;
    Add(text, "TovUSB device check, " + content.created.ToString());
    Add(text, "");
    Add(text, "ICA Client registration");
    for (const std::string& line : content.registration) Add(text, "  " + line);
    Add(text, "");
    for (const std::string& line : DeviceListLines(content.devices, content.otherHIDDevices, content.listError,
                                                   content.selectedPath, content.cannotOpen)) {
        Add(text, line);
    }
    Add(text, "");
    for (const std::string& line : content.usbRules) Add(text, line);
    if (!content.usbRules.empty()) Add(text, "");
    for (const std::string& line : LinuxButtonMapLines(content.buttonMap, content.buttonMapFolders)) Add(text, line);
    if (content.traceLog.empty()) {
        Add(text, "Trace log: no home folder, so the driver does not trace");
    } else {
        Add(text, "Trace log " + content.traceLog + ": " +
                      (content.traceLogPresent ? "present (the driver traces)" : "absent (the driver does not trace)"));
    }
    Add(text, "");
    Add(text, content.selectedDevice.empty() ? std::string("Events (no device selected)")
                                             : "Events (" + content.selectedDevice + " selected)");
    for (const std::string& line : content.lines) Add(text, "  " + line);
    return text;
}

}  // namespace devicecheck
