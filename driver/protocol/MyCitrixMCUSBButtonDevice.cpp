#include "MyCitrixMCUSBButtonDevice.h"

#include "CitrixClientOperations.h"
#include "DispatcherTrace.h"
#include "EventMessages.h"
#include "FormatString.h"
#include "LowerCase.h"
#include "TraceLog.h"

namespace {

// The hardware code that is never reported to the server.
constexpr int32_t kUnreportedButton = 16;

}  // namespace

CMyCitrixMCUSBButtonDevice::~CMyCitrixMCUSBButtonDevice() { Disconnect(); }

void CMyCitrixMCUSBButtonDevice::Bind(CCitrixUSBButtonDeviceManagerClient* client, ObjectHandle handle) {
    serverHandle = handle;
    CCriticalSectionLocker locker(bindingLock);
    channelClient = client;
    load = CurrentLoad();
}

void CMyCitrixMCUSBButtonDevice::Unbind() {
    {
        CCriticalSectionLocker locker(bindingLock);
        channelClient = nullptr;
    }
    route.Disconnected();
}

bool CMyCitrixMCUSBButtonDevice::Connect() {
    bool started = false;
    try {
        started = CUSBButtonDevice::Connect();  // closes the old opening first
    } catch (...) {
        route.Disconnected();  // the path could not be opened: nothing is connected now
        throw;
    }
    // The path came from the server, but Connect opened it only as one the platform lists now
    // (compared in lower case): in lower case it is the local listing's own, and that is what the
    // sessions' shared record holds.
    route.Connected(LowerCaseACP(GetDescriptor().hidInfo.devicePath));
    return started;
}

void CMyCitrixMCUSBButtonDevice::Disconnect() {
    route.Disconnected();
    CUSBButtonDevice::Disconnect();
}

void CMyCitrixMCUSBButtonDevice::SetLEDsThenReply(const std::list<LEDSetting>& settings) {
    // Runs on the writer thread, or on the engine thread when nothing was written. The writer holds
    // the device, and an unbound device (deleted by the server meanwhile) answers nothing.
    QueueLEDs(settings, [this](const std::string* failure) {
        if (failure) {
            TraceDispatcherError(*failure);
            return;
        }
        CCriticalSectionLocker locker(bindingLock);
        if (channelClient) SendReply(MessageType::SetLEDsReply, serverHandle.load(), load);
    });
}

CMyCitrixMCUSBButtonDevice& CMyCitrixMCUSBButtonDevice::operator=(const CMyCitrixMCUSBButtonDevice& other) {
    CUSBButtonDevice::operator=(other);  // a no-op for the device itself
    // The device now has the other's interface open when the other has it open.
    if (&other != this) {
        if (IsConnected()) {
            route.Connected(other.route.Path());
        } else {
            route.Disconnected();
        }
    }
    return *this;
}

void CMyCitrixMCUSBButtonDevice::OnButtonPressed(const int32_t& code, const int32_t& pressed) {
    if (code == kUnreportedButton) return;
    const int32_t button = code;
    const int32_t flag = pressed;
    const ObjectHandle handle = serverHandle.load();
    // Asked before the lock: the route may look at the sessions' shared record.
    if (!route.Sends(button, flag)) {
        if (IsTraceLogOn(kClientLogPath)) {
            TraceDispatcher(FormatString("Button %i, %i goes to the session the user works in, not this one", button, flag));
        }
        return;
    }
    // Checked and queued under one lock, so an Unbind on the engine thread cannot fall between.
    CCriticalSectionLocker locker(bindingLock);
    if (!channelClient) return;
    // The reader thread's path: no text is formatted while the trace log is off.
    if (IsTraceLogOn(kClientLogPath)) TraceDispatcher(FormatString("On button pressed %i, %i", button, flag));
    SendButtonEvent(handle, button, flag, load);
}
