#include "PolicyUsbRules.h"

#include "HIDSeam.h"
#include "PolicyValueText.h"

using namespace devicecheck;

UsbRulesContent PolicyUsbRules(const std::list<USBButtonDeviceDescriptor>& devices) {
    UsbRulesContent content;
    content.source = "Group Policy value HKLM\\Software\\Policies\\Citrix\\ICA Client\\GenericUSB\\DeviceRules";
    const PolicyValueText value =
        ReadPolicyValueText("Software\\Policies\\Citrix\\ICA Client\\GenericUSB", "DeviceRules");
    content.present = value.state != PolicyValueState::kMissing;
    content.readError = value.problem;
    if (value.state == PolicyValueState::kRead) content.rules = ParseUsbRules(value.text, RuleSyntax::kGroupPolicy);
    content.denyWhere = "at the start of the DeviceRules value";
    for (const USBButtonDeviceDescriptor& device : devices) {
        UsbRulesDevice entry;
        entry.name = device.name;
        const uint16_t vendor = static_cast<uint16_t>(device.hidInfo.vendorID);
        const uint16_t product = static_cast<uint16_t>(device.hidInfo.productID);
        // Not on USB as far as the device tree shows, or its ids could not be read: the HID ids are
        // the device's, the rest is unknown.
        if (!hidseam::DescribeUsbDevice(device.hidInfo.devicePath, entry.facts)) entry.facts = UsbDeviceFacts();
        if (!entry.facts.vendorID.known) entry.facts.vendorID = Known(vendor);
        if (!entry.facts.productID.known) entry.facts.productID = Known(product);
        entry.denyRule = GroupPolicyDenyRule(vendor, product, device.name);
        content.devices.push_back(entry);
    }
    return content;
}
