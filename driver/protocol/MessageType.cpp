#include "MessageType.h"

namespace {
const char* const kNames[] = {
    nullptr,
    "CreateManager",
    "CreateManagerReply",
    "DeleteManager",
    "DeleteManagerReply",
    "GetConnectedDevices",
    "GetConnectedDevicesReply",
    "DeviceConnected",
    "DeviceDisconnected",
    "CreateDevice",
    "CreateDeviceReply",
    "DeleteDevice",
    "DeleteDeviceReply",
    "AssignDevice",
    "AssignDeviceReply",
    "InitDevice",
    "InitDeviceReply",
    "SetLEDs",
    "SetLEDsReply",
    "ConnectDevice",
    "ConnectDeviceReply",
    "ButtonEvent",
};
constexpr uint32_t kLastCode = static_cast<uint32_t>(MessageType::ButtonEvent);
static_assert(sizeof(kNames) / sizeof(kNames[0]) == kLastCode + 1, "one name per code");
}  // namespace

const char* MessageTypeName(uint32_t code) {
    return code <= kLastCode ? kNames[code] : nullptr;
}

bool IsServerCommand(uint32_t code) {
    return code >= 1 && code <= 19 && (code % 2) == 1 && code != static_cast<uint32_t>(MessageType::DeviceConnected);
}

uint32_t ReplyCodeOf(uint32_t commandCode) {
    return IsServerCommand(commandCode) ? commandCode + 1 : 0;
}
