#include "MessagePump.h"

namespace enginesim {

void PumpMessages(ModulePumpProc modulePump) {
    if (modulePump) modulePump();
}

}  // namespace enginesim
