#include "PolicyUsbRules.h"

#include "FileName.h"
#include "HIDSeam.h"
#include "Registry.h"

using namespace devicecheck;

UsbRulesContent PolicyUsbRules(const std::list<USBButtonDeviceDescriptor>& devices) {
    UsbRulesContent content;
    content.source = "Group Policy value HKLM\\Software\\Policies\\Citrix\\ICA Client\\GenericUSB\\DeviceRules";
    CFileName key;
    for (const char* folder : {"Software", "Policies", "Citrix", "ICA Client"}) key.AddFolder(folder);
    key.SetName("GenericUSB");
    // Policy keys are shared by the 32-bit and 64-bit views. The registry class bounds what it
    // allocates; the parser reads at most its own bound of the text.
    const CRegistry value(kRegistryLocalMachine, key, "DeviceRules");
    std::string text;
    content.present = value.ReadString(text);
    if (content.present) content.rules = ParseUsbRules(text, RuleSyntax::kGroupPolicy);
    content.denyWhere = "at the start of the DeviceRules value";
    for (const USBButtonDeviceDescriptor& device : devices) {
        UsbRulesDevice entry;
        entry.name = device.name;
        const uint16_t vendor = static_cast<uint16_t>(device.hidInfo.vendorID);
        const uint16_t product = static_cast<uint16_t>(device.hidInfo.productID);
        if (!hidseam::DescribeUsbDevice(device.hidInfo.devicePath, entry.facts)) {
            // Not on USB as far as the device tree shows: the HID ids are the device's, the rest is unknown.
            entry.facts.vendorID = Known(vendor);
            entry.facts.productID = Known(product);
        }
        entry.denyRule = GroupPolicyDenyRule(vendor, product, device.name);
        content.devices.push_back(entry);
    }
    return content;
}
