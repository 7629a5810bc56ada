// The HID manager's probe thread: the device I/O of arrivals and listings (open, attributes,
// capabilities) runs here, never on the engine thread.
#pragma once

#include <memory>

#include "HIDProbeQueue.h"

namespace hidprobe {

// Starts the probe thread, a detached thread that holds the queue and probes its items in order
// until a stop is requested; false when it cannot be started. Nothing owns the thread: the manager
// learns its end from the queue (WaitForRunEnd), and the last of the two to let go frees the queue.
bool StartProbeThread(std::shared_ptr<CHIDProbeQueue> queue);

// Any thread: one item's probe; an arrival's thrown text becomes the "USBHIDManager" box.
void Probe(HIDProbeItem& item);

}  // namespace hidprobe
