#include "MessageBox.h"

#include <atomic>

namespace {
std::atomic<MessageBoxHandler> currentHandler{nullptr};
}  // namespace

int ShowMessageBox(const std::string& text, const std::string& caption, unsigned type) {
    MessageBoxHandler handler = currentHandler.load();
    if (handler) return handler(text.c_str(), caption.c_str(), type);
    return ShowPlatformMessageBox(text.c_str(), caption.c_str(), type);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) { return currentHandler.exchange(handler); }
