// The device monitors' shared way through their socket: the messages waiting are taken one by one
// without blocking, and after a loss the socket is emptied before the loss is reported.
#pragma once

#include <functional>

#include "NodeEvent.h"

namespace hidraw {

// What one receive from a monitor's socket gave.
enum class MonitorMessage {
    kNone,    // nothing waits
    kFailed,  // the receive failed: messages were lost (ENOBUFS, a refused receive)
    kOther,   // a message that is no hidraw arrival or removal, consumed
    kEvent,   // a hidraw arrival or removal, in the event
};

// Takes messages with receive until one is an event (true). At most 256 in one call, so that a
// flood of other uevents cannot hold the engine thread: the rest waits for the next poll (false).
// After a failed receive the kernel drops every message silently until the socket has been
// emptied, so what waits is read and discarded first; once the socket is empty the loss is
// reported as one kLost event, and the receiver's listing then covers all of it. lost keeps that
// state from one call to the next.
bool ReceiveOrReportLoss(bool& lost, NodeEvent& event, const std::function<MonitorMessage(NodeEvent&)>& receive);

}  // namespace hidraw
