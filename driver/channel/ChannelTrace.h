// The channel driver's trace lines: "c:\CitrixClient.log" with the source ".\CitrixClient", and the
// one send failure line that goes to "C:\CitrixServer.log".
#pragma once

#include <string>

void TraceClient(const std::string& message);
void TraceClientError(const std::string& message);
void TraceServerError(const std::string& message);
