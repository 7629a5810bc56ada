#include "HIDProbeThread.h"

#include <utility>

#include "Thread.h"
#include "USBHIDManagerImpl.h"

namespace hidprobe {

bool StartProbeThread(std::shared_ptr<CHIDProbeQueue> queue) {
    return CThread::StartDetached(
        [queue] {
            HIDProbeItem item;
            while (queue->NextItem(item)) {
                Probe(item);
                queue->Finish(std::move(item));
            }
        },
        [queue] { queue->EndRun(); });
}

void Probe(HIDProbeItem& item) {
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

}  // namespace hidprobe
