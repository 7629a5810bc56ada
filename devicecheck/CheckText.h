// The texts the device check shows and copies into its report: registration status, device list
// lines, button event lines and the report itself. Portable, so the wording is tested natively.
#pragma once

#include <cstdint>
#include <list>
#include <string>
#include <vector>

#include "ButtonMapStatus.h"
#include "DateTime.h"
#include "USBButtonDeviceDescriptor.h"

// What the installer's queries say about one ICA Client of the PC.
struct ClientRegistration {
    std::string client;           // "32-bit ICA Client", "64-bit ICA Client"
    std::string folder;           // its "InstallFolder"
    bool moduleKey = false;       // the channel's module key names the driver
    bool listEntry = false;       // "TovUSB" is an entry of "VirtualDriverEx"
    std::string driverPath;       // the driver file in its folder
    bool driverPresent = false;
    bool driverMachineType = false;  // the file is a DLL of the client's machine type
    std::string machineType;         // the client's machine type, e.g. "32-bit (i386)"
};

// One line per fact, the client's own line first ("registered", "partly registered" or "NOT
// registered"); "No ICA Client is installed" for an empty list.
std::vector<std::string> RegistrationLines(const std::vector<ClientRegistration>& clients);
// True when any piece of the channel is there (module key, list entry, driver file), as the
// setup program counts it: its Uninstall removes what is left.
bool IsRegistered(const ClientRegistration& client);
// True when everything the ICA Client needs to load the channel is in place.
bool IsCompletelyRegistered(const ClientRegistration& client);

// "Philips SpeechMike III (vendor 0x0911, product 0x0C1C, usage 9)".
std::string DeviceLine(const USBButtonDeviceDescriptor& device);
// "No other HID devices", "1 other HID device", "3 other HID devices".
std::string OtherHIDDevicesText(int count);
// Where HardwareButtonMap.ini was found and its entries, or that there is none.
std::vector<std::string> ButtonMapLines(const ButtonMapStatus& status);

// "09:07:03.042": the time of day of an event line.
std::string ClockText(const CDateTime& time);
// "09:07:03.042  pressed   hardware 3  reported 20": the time of the event, press or release, the
// hardware code(s) it may have come from and the code the driver reports. Code 16 never reaches
// the server, which the line says.
std::string ButtonEventLine(const CDateTime& time, bool pressed, const std::vector<int32_t>& hardwareCodes,
                            int32_t reportedCode);

// Everything the dialog shows, for the plain-text report.
struct CheckReportContent {
    CDateTime created;
    std::vector<ClientRegistration> clients;
    std::vector<std::string> sessions;  // the ButtonsGoTo setting and who has the buttons (Windows)
    std::list<USBButtonDeviceDescriptor> devices;
    int otherHIDDevices = 0;
    std::string listError;  // the enumeration's message when it failed
    std::vector<std::string> usbRules;  // UsbRulesLines: what the generic USB rules do to the devices
    ButtonMapStatus buttonMap;
    std::string traceLogPath;
    bool traceLogPresent = false;
    std::string selectedDevice;      // name of the device whose buttons are shown, or ""
    std::vector<std::string> lines;  // the event lines, oldest first
};

// Plain text with CR LF line ends, for a support ticket.
std::string BuildCheckReport(const CheckReportContent& content);
