#include "MyCitrixMCUSBButtonDevice.h"

#include "DispatcherTrace.h"
#include "EventMessages.h"
#include "FormatString.h"
#include "TraceLog.h"

namespace {

// The hardware code that is never reported to the server.
constexpr int32_t kUnreportedButton = 16;

}  // namespace

CMyCitrixMCUSBButtonDevice::~CMyCitrixMCUSBButtonDevice() { DisconnectAndWaitForThreads(); }

void CMyCitrixMCUSBButtonDevice::SetLEDsThenReply(const std::list<LEDSetting>& settings) {
    // Runs on the writer thread, or on the engine thread when nothing was written. The device
    // outlives its writer (its destructor, or the dispatcher's hand-over, waits for the end), and
    // an unbound device (deleted by the server meanwhile) answers nothing.
    QueueLEDs(settings, [this](const std::string* failure) {
        if (failure) {
            TraceDispatcherError(*failure);
            return;
        }
        if (channelClient.load() == nullptr) return;
        SendReply(MessageType::SetLEDsReply, serverHandle.load());
    });
}

CMyCitrixMCUSBButtonDevice& CMyCitrixMCUSBButtonDevice::operator=(const CMyCitrixMCUSBButtonDevice& other) {
    CUSBButtonDevice::operator=(other);  // a no-op for the device itself
    return *this;
}

void CMyCitrixMCUSBButtonDevice::OnButtonPressed(const int32_t& code, const int32_t& pressed) {
    if (channelClient.load() == nullptr || code == kUnreportedButton) return;
    const int32_t button = code;
    const int32_t flag = pressed;
    const ObjectHandle handle = serverHandle.load();
    // The reader thread's path: no text is formatted while the trace log is off.
    if (IsTraceLogOn(kClientLogPath)) TraceDispatcher(FormatString("On button pressed %i, %i", button, flag));
    SendButtonEvent(handle, button, flag);
}
