#include "SupportedDeviceTable.h"

const SupportedDevice SupportedDeviceTable[kSupportedDeviceCount] = {
    {0x0911, 0x2512, HIDUsageConsumerAudioControl, "Philips SpeechMike I Pro"},
    {0x0911, 0x1878, HIDUsageConsumerAudioControl, "Philips SpeechMike 6264 Slider"},
    {0x0911, 0x149A, HIDUsageOther, "Philips SpeechMike II Pro"},
    {0x0911, 0x0C1C, HIDUsageOther, "Philips SpeechMike III"},
    {0x0911, 0x14A4, HIDUsageOther, "Philips SpeechMike Pro with Barcode Scanner"},
    {0x0911, 0x091A, HIDUsageJoystick, "Philips Footswitch"},
    {0x0911, 0x1844, HIDUsageJoystick, "Philips Footswitch LFH 0210/90B"},
    {0x0911, 0x184C, HIDUsageJoystick, "Philips Footswitch LFH 0210/90B-OLD"},
    {0x0911, 0x0BB8, HIDUsageOther, "Philips SpeechMike Air"},
    {0x07B5, 0x0213, HIDUsageGamePad, "Thrustmaster Firestorm Digital 3 Gamepad"},
    {0x15D8, 0x0025, HIDUsageOther, "Grundig Digta SonicMic II Classic"},
};

const SupportedDevice* FindSupportedDevice(uint32_t vendorID, uint32_t productID) {
    for (const SupportedDevice& row : SupportedDeviceTable) {
        if (row.vendorID == vendorID && row.productID == productID) return &row;
    }
    return nullptr;
}

const SupportedDevice* FindSupportedInterface(const USBHIDDeviceInfo& info) {
    const SupportedDevice* row = FindSupportedDevice(static_cast<uint32_t>(info.vendorID),
                                                     static_cast<uint32_t>(info.productID));
    if (row == nullptr || row->usageType != info.usageType) return nullptr;
    return row;
}
