#include "DispatcherTrace.h"

#include <cstdint>

#include "FormatString.h"
#include "TraceLog.h"

namespace {

const char* const kDispatcherSource = ".\\CitrixUSBButtonDeviceManagerClient";

}  // namespace

void TraceDispatcher(const std::string& message) {
    WriteLogLine(message, kClientLogPath, kDispatcherSource, false);
}

void TraceDispatcherError(const std::string& message) {
    WriteLogLine(message, kClientLogPath, kDispatcherSource, true);
}

std::string HandleText(ObjectHandle handle) {
    return FormatString("%p", reinterpret_cast<void*>(static_cast<uintptr_t>(handle)));
}
