#include "HIDInterfaceQuery.h"

#include <string>

bool QueryHIDInterface(hidseam::Handle handle, USBHIDDeviceInfo& info) {
    hidseam::Attributes attributes = {};
    attributes.size = 12;
    if (!hidseam::GetAttributes(handle, attributes)) return false;

    void* preparsed = nullptr;
    if (!hidseam::GetPreparsedData(handle, preparsed)) throw std::string("HidD_GetPreparsedData failed");
    hidseam::Caps caps = {};
    const uint32_t status = hidseam::GetCaps(preparsed, caps);
    // Freed on both ways out: the preparsed data would otherwise be lost with the thrown text.
    hidseam::FreePreparsedData(preparsed);
    if (status != hidseam::kHidpStatusSuccess) throw std::string("HidP_GetCaps failed");

    info.usageType = LookupHIDUsageType(caps.usagePage, caps.usage);
    info.inputReportByteLength = caps.inputReportByteLength;
    info.outputReportByteLength = caps.outputReportByteLength;
    info.vendorID = attributes.vendorID;
    info.productID = attributes.productID;
    info.versionNumber = attributes.versionNumber;
    return true;
}

bool HandleAnswersAs(hidseam::Handle handle, const USBHIDDeviceInfo& expected) {
    USBHIDDeviceInfo answered;
    try {
        if (!QueryHIDInterface(handle, answered)) return false;
    } catch (const std::string&) {
        return false;
    }
    return answered.vendorID == expected.vendorID && answered.productID == expected.productID &&
           answered.usageType == expected.usageType &&
           answered.inputReportByteLength == expected.inputReportByteLength &&
           answered.outputReportByteLength == expected.outputReportByteLength;
}
