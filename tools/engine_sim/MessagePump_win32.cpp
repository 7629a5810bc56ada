#include "MessagePump.h"

#include <windows.h>

namespace enginesim {

void PumpMessages(ModulePumpProc) {
    // On Windows the driver's notification windows live on the engine thread: their messages are
    // dispatched here, as the ICA Client's message loop would.
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

}  // namespace enginesim
