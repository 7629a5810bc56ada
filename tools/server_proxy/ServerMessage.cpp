#include "ServerMessage.h"

namespace ServerProxy {

bool IsSentBy(Direction direction, uint32_t code) {
    if (code < 1 || code > static_cast<uint32_t>(MessageType::ButtonEvent)) {
        return false;
    }
    return IsServerCommand(code) == (direction == Direction::ServerToClient);
}

}  // namespace ServerProxy
