#include "USBHIDDeviceInfo.h"

namespace {

struct UsageRow {
    uint16_t usagePage;
    uint16_t usage;
    int32_t type;
};

constexpr UsageRow kUsageRows[] = {
    {0x01, 0x01, HIDUsagePointer},  {0x01, 0x02, HIDUsageMouse},
    {0x01, 0x04, HIDUsageJoystick}, {0x01, 0x05, HIDUsageGamePad},
    {0x01, 0x06, HIDUsageKeyboard}, {0x01, 0x07, HIDUsageKeypad},
    {0x01, 0x80, HIDUsageSystemControl}, {0x0C, 0x01, HIDUsageConsumerAudioControl},
};

}  // namespace

int32_t LookupHIDUsageType(uint16_t usagePage, uint16_t usage) {
    for (const UsageRow& row : kUsageRows) {
        if (row.usagePage == usagePage && row.usage == usage) return row.type;
    }
    return HIDUsageOther;
}
