#include "LinuxUsbRules.h"

#include "DeviceModels.h"
#include "HIDSeam.h"
#include "LinuxNames.h"
#include "SystemFiles.h"
#include "UsbConfEdit.h"

namespace devicecheck {

UsbRulesContent LinuxUsbRules(const linuxsetup::SetupPaths& paths, const std::list<USBButtonDeviceDescriptor>& devices) {
    UsbRulesContent content;
    content.source = paths.UsbConf();
    content.present = linuxsetup::PathExists(content.source);
    if (content.present) {
        std::string bytes;
        linuxsetup::FileOwner owner;
        if (linuxsetup::ReadRegularFile(content.source, linuxsetup::kMaxConfigFileBytes, bytes, owner,
                                        content.readError)) {
            content.readError.clear();
            content.rules = ParseUsbRules(bytes, RuleSyntax::kUsbConf);
        } else if (content.readError.empty()) {
            content.readError = "not readable";
        }
    }
    content.denyWhere = "as the first rule of usb.conf (tovusb-setup install puts it there)";
    const std::vector<linuxsetup::DeviceModel> models = linuxsetup::SupportedModels();
    for (const USBButtonDeviceDescriptor& device : devices) {
        UsbRulesDevice entry;
        entry.name = device.name;
        if (!hidseam::DescribeUsbDevice(device.hidInfo.devicePath, entry.facts)) {
            // Not on USB as far as sysfs shows: the HID ids are the device's, the rest is unknown.
            entry.facts.vendorID = Known(static_cast<uint16_t>(device.hidInfo.vendorID));
            entry.facts.productID = Known(static_cast<uint16_t>(device.hidInfo.productID));
        }
        linuxsetup::DeviceModel model{static_cast<uint16_t>(device.hidInfo.vendorID),
                                      static_cast<uint16_t>(device.hidInfo.productID), device.name};
        for (const linuxsetup::DeviceModel& known : models)
            if (known.vendorID == model.vendorID && known.productID == model.productID) model = known;
        entry.denyRule = linuxsetup::UsbConfLine(model);
        content.devices.push_back(entry);
    }
    return content;
}

}  // namespace devicecheck
