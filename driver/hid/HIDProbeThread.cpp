#include "HIDProbeThread.h"

#include <utility>

#include "HIDAccessWait.h"
#include "HIDSeam.h"
#include "Thread.h"
#include "USBHIDManagerImpl.h"

namespace hidprobe {

namespace {

// The probe thread's body: each item in order, and between them the retries of refused arrivals.
void Run(CHIDProbeQueue& queue) {
    CHIDAccessWait refused;
    for (;;) {
        HIDProbeItem item;
        const CHIDProbeQueue::Next next = queue.NextItem(item, refused.NextTry());
        if (next == CHIDProbeQueue::Next::kStopped) return;
        if (next == CHIDProbeQueue::Next::kItem) {
            refused.Forget(item.path);
            Probe(item);
            if (item.refused && queue.WaitsForAccess(item.vendorId, item.productId)) {
                refused.Add(item, CHIDAccessWait::Clock::now());
            }
            queue.Finish(std::move(item));
        }
        for (CHIDAccessWait::Waiting& due : refused.TakeDue(CHIDAccessWait::Clock::now())) {
            due.item.refused = false;
            Probe(due.item);
            if (due.item.probed) {
                queue.FinishRetried(std::move(due.item));
            } else if (due.item.refused) {
                refused.Retry(std::move(due), CHIDAccessWait::Clock::now());
            }
        }
    }
}

}  // namespace

bool StartProbeThread(std::shared_ptr<CHIDProbeQueue> queue) {
    return CThread::StartDetached([queue] { Run(*queue); }, [queue] { queue->EndRun(); });
}

void Probe(HIDProbeItem& item) {
    if (item.kind == HIDProbeItem::kRemoval) return;
    bool threw = true;
    try {
        item.probed = ProbeHIDInterface(item.path, item.info);
        // After a failed open, errno (or the last error) is still the open's.
        if (!item.probed) item.refused = hidseam::AccessRefused(item.path, item.vendorId, item.productId);
        threw = false;
    } catch (const std::string& text) {
        item.thrown = text;
    } catch (...) {
    }
    if (threw && item.kind == HIDProbeItem::kArrival) ShowDeviceChangeFailure();
}

}  // namespace hidprobe
