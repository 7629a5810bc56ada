#include "ChannelTrace.h"

#include "TraceLog.h"

namespace {
const char* const kSourcePath = ".\\CitrixClient";
}

void TraceClient(const std::string& message) {
    WriteLogLine(message, kClientLogPath, kSourcePath, false);
}

void TraceClientError(const std::string& message) {
    WriteLogLine(message, kClientLogPath, kSourcePath, true);
}

void TraceServerError(const std::string& message) {
    WriteLogLine(message, kServerLogPath, kSourcePath, true);
}
