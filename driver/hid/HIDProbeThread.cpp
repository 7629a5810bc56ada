#include "HIDProbeThread.h"

#include <utility>

#include "USBHIDManagerImpl.h"

CHIDProbeThread::CHIDProbeThread(std::shared_ptr<CHIDProbeQueue> queue) : CThread(0, false), queue(std::move(queue)) {}

void CHIDProbeThread::Run(int) {
    HIDProbeItem item;
    while (queue->NextItem(item)) {
        Probe(item);
        queue->Finish(std::move(item));
    }
    if (CThread* self = queue->EndRun()) {
        // Abandoned by its manager: the object goes once Run has returned, from this thread.
        RunAfterEnd([self] { delete self; });
    }
}

void CHIDProbeThread::Probe(HIDProbeItem& item) {
    if (item.kind == HIDProbeItem::kRemoval) return;
    bool threw = true;
    try {
        item.probed = ProbeHIDInterface(item.path, item.info);
        threw = false;
    } catch (const std::string& text) {
        item.thrown = text;
    } catch (...) {
    }
    if (threw && item.kind == HIDProbeItem::kArrival) ShowDeviceChangeFailure();
}
