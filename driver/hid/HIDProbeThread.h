// The HID manager's probe thread: the device I/O of arrivals and listings (open, attributes,
// capabilities) runs here, never on the engine thread.
#pragma once

#include <memory>

#include "HIDProbeQueue.h"
#include "Thread.h"

// Holds the queue it shares with its manager. The manager owns this object while it waits for the
// run's end; a run that outlives the stop's deadline is given the object (CHIDProbeQueue::Abandon)
// and deletes it after its end, on its own thread.
class CHIDProbeThread : public CThread {
public:
    explicit CHIDProbeThread(std::shared_ptr<CHIDProbeQueue> queue);
    // Probe thread: probes the queue's items in order until a stop is requested.
    void Run(int param) override;

    // Any thread: one item's probe; an arrival's thrown text becomes the "USBHIDManager" box.
    static void Probe(HIDProbeItem& item);

private:
    std::shared_ptr<CHIDProbeQueue> queue;
};
