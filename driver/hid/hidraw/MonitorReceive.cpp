#include "MonitorReceive.h"

namespace hidraw {

bool ReceiveOrReportLoss(bool& lost, NodeEvent& event, const std::function<MonitorMessage(NodeEvent&)>& receive) {
    for (int i = 0; i < 256; ++i) {
        switch (receive(event)) {
        case MonitorMessage::kNone:
            if (!lost) return false;
            lost = false;
            event.kind = NodeEvent::kLost;
            event.node.clear();
            return true;
        case MonitorMessage::kFailed:
            lost = true;
            break;
        case MonitorMessage::kEvent:
            if (!lost) return true;
            break;  // older than the listing that follows
        case MonitorMessage::kOther:
            break;
        }
    }
    return false;
}

}  // namespace hidraw
