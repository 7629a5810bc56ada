#include "EnginePollHook.h"

#include <atomic>

namespace {
std::atomic<EnginePollHook> currentHook{nullptr};
}  // namespace

EnginePollHook SetEnginePollHook(EnginePollHook hook) { return currentHook.exchange(hook); }

void RunEnginePollHook() {
    const EnginePollHook hook = currentHook.load();
    if (hook) hook();
}
