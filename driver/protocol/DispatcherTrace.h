// Trace lines of the dispatcher and the reporting classes: the log file "c:\CitrixClient.log" with
// the source ".\CitrixUSBButtonDeviceManagerClient". Safe on any thread; never throw.
#pragma once

#include <string>

#include "MessageType.h"

void TraceDispatcher(const std::string& message);
void TraceDispatcherError(const std::string& message);

// An object handle as the traces print it ("%p" of the handle's value).
std::string HandleText(ObjectHandle handle);
