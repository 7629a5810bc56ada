// Work that must run on the ICA Client's engine thread at every poll of the driver, registered by
// the layer that needs it (natively, the hidraw backend's device monitor delivers arrivals and
// removals this way, since the shipping Linux driver gets no call from its host but the client's
// own). The driver's poll entry runs the hook; the hook must not block.
#pragma once

using EnginePollHook = void (*)();

// Installs the hook (null removes it) and returns the previous one. Any thread.
EnginePollHook SetEnginePollHook(EnginePollHook hook);

// Runs the hook if one is installed; called by the driver's poll entry on the engine thread.
void RunEnginePollHook();
