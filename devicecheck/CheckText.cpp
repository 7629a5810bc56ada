#include "CheckText.h"

#include "FormatString.h"

namespace {

const char* Present(bool present) { return present ? "present" : "missing"; }

std::string CodeList(const std::vector<int32_t>& codes) {
    if (codes.empty()) return "?";
    std::string text;
    for (size_t i = 0; i < codes.size(); ++i) {
        if (i > 0) text += " or ";
        text += FormatString("%i", codes[i]);
    }
    return text;
}

void AddLine(std::string& text, const std::string& line) {
    text += line;
    text += "\r\n";
}

}  // namespace

bool IsRegistered(const ClientRegistration& client) {
    return client.moduleKey || client.listEntry || client.driverPresent;
}

bool IsCompletelyRegistered(const ClientRegistration& client) {
    return client.moduleKey && client.listEntry && client.driverPresent && client.driverMachineType;
}

std::vector<std::string> RegistrationLines(const std::vector<ClientRegistration>& clients) {
    std::vector<std::string> lines;
    if (clients.empty()) {
        lines.push_back("No ICA Client is installed");
        return lines;
    }
    for (const ClientRegistration& client : clients) {
        lines.push_back(client.client + " in " + client.folder + ": " +
                        (IsCompletelyRegistered(client) ? "channel TovUSB registered"
                         : IsRegistered(client)         ? "channel TovUSB partly registered"
                                                        : "channel TovUSB NOT registered"));
        lines.push_back(std::string("  module key TovUSB: ") + Present(client.moduleKey));
        lines.push_back(std::string("  VirtualDriverEx entry TovUSB: ") + Present(client.listEntry));
        std::string driver = "  driver " + client.driverPath + ": ";
        if (!client.driverPresent)
            driver += "missing";
        else if (client.driverMachineType)
            driver += "present, a " + client.machineType + " DLL";
        else
            driver += "present, but not a " + client.machineType + " DLL";
        lines.push_back(driver);
    }
    return lines;
}

std::string DeviceLine(const USBButtonDeviceDescriptor& device) {
    return FormatString("%s (vendor 0x%04X, product 0x%04X, usage %i)", device.name.c_str(),
                        static_cast<unsigned>(device.hidInfo.vendorID),
                        static_cast<unsigned>(device.hidInfo.productID), device.hidInfo.usageType);
}

std::string OtherHIDDevicesText(int count) {
    if (count <= 0) return "No other HID devices";
    if (count == 1) return "1 other HID device";
    return FormatString("%i other HID devices", count);
}

std::vector<std::string> ButtonMapLines(const ButtonMapStatus& status) {
    std::vector<std::string> lines;
    if (!status.found) {
        lines.push_back("No HardwareButtonMap.ini (looked for " + status.lookedFor + " in " + status.currentFolder +
                        "): codes are reported as decoded");
        return lines;
    }
    std::string entries;
    for (const auto& entry : status.entries) {
        if (!entries.empty()) entries += ", ";
        entries += FormatString("%i=%i", entry.first, entry.second);
    }
    if (entries.empty()) entries = "no entries";
    lines.push_back("HardwareButtonMap.ini: " + status.path);
    lines.push_back("  [HardwareButtonMap] " + entries);
    return lines;
}

std::string ClockText(const CDateTime& time) {
    return FormatString("%02i:%02i:%02i.%03i", time.hour, time.minute, time.second, time.millisecond);
}

std::string ButtonEventLine(const CDateTime& time, bool pressed, const std::vector<int32_t>& hardwareCodes,
                            int32_t reportedCode) {
    std::string line = ClockText(time) + FormatString("  %-8s  hardware %s  reported %i",
                                                      pressed ? "pressed" : "released",
                                                      CodeList(hardwareCodes).c_str(), reportedCode);
    // The driver drops code 16 before it reaches the server.
    if (reportedCode == 16) line += " (not sent to the server)";
    return line;
}

std::string BuildCheckReport(const CheckReportContent& content) {
    std::string text;
    AddLine(text, "TovUSB device check, " + content.created.ToString());
    AddLine(text, "");
    AddLine(text, "ICA Client registration");
    for (const std::string& line : RegistrationLines(content.clients)) AddLine(text, "  " + line);
    for (const std::string& line : content.sessions) AddLine(text, "  " + line);
    AddLine(text, "");
    AddLine(text, FormatString("Supported devices: %i", static_cast<int>(content.devices.size())));
    for (const USBButtonDeviceDescriptor& device : content.devices) {
        AddLine(text, "  " + DeviceLine(device));
        AddLine(text, "    " + device.hidInfo.devicePath);
    }
    if (!content.listError.empty()) AddLine(text, "  Listing failed: " + content.listError);
    AddLine(text, "  " + OtherHIDDevicesText(content.otherHIDDevices));
    AddLine(text, "");
    for (const std::string& line : content.usbRules) AddLine(text, line);
    if (!content.usbRules.empty()) AddLine(text, "");
    for (const std::string& line : ButtonMapLines(content.buttonMap)) AddLine(text, line);
    AddLine(text, "Trace log " + content.traceLogPath + ": " +
                      (content.traceLogPresent ? "present (the driver traces)" : "absent (the driver does not trace)"));
    AddLine(text, "");
    AddLine(text, content.selectedDevice.empty() ? std::string("Events (no device selected)")
                                                 : "Events (" + content.selectedDevice + " selected)");
    for (const std::string& line : content.lines) AddLine(text, "  " + line);
    return text;
}
