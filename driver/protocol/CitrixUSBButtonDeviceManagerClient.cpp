#include "CitrixUSBButtonDeviceManagerClient.h"

#include <exception>
#include <memory>
#include <new>
#include <string>

#include "DispatcherTrace.h"
#include "EventMessages.h"
#include "FormatString.h"
#include "MemoryStream.h"
#include "MyCitrixMCUSBButtonDevice.h"
#include "MyCitrixMCUSBButtonDeviceManager.h"
#include "RecordCodec.h"
#include "StreamCodec.h"

namespace {

// A reply: its code and the command's handle, then whatever body the caller writes.
class CReply {
public:
    CReply(MessageType code, ObjectHandle handle) {
        WriteUInt32(stream, static_cast<uint32_t>(code));
        WriteHandle(stream, handle);
    }
    CMemoryStream& Stream() { return stream; }
    void Send() { SendStream(stream); }

private:
    CMemoryStream stream;
};

std::string Dump(const uint8_t* data, uint16_t size) { return FormatBufferDump(data, size); }

}  // namespace

CCitrixUSBButtonDeviceManagerClient::CCitrixUSBButtonDeviceManagerClient() : CCitrixClient("TovUSB") {}

CCitrixUSBButtonDeviceManagerClient::~CCitrixUSBButtonDeviceManagerClient() {
    managers.clear();
    // The devices still registered are left as they are: destroying one stops its threads, which
    // must not be waited for under the loader lock.
    if (!devices.empty()) new std::list<std::shared_ptr<CMyCitrixMCUSBButtonDevice>>(std::move(devices));
}

void CCitrixUSBButtonDeviceManagerClient::OnPoll() {
    // The arrivals and removals the managers' probe threads have finished become DeviceConnected
    // and DeviceDisconnected here. A hook never deletes a manager, so the list stays as it is.
    for (CMyCitrixMCUSBButtonDeviceManager* manager : managers) manager->DeliverDeviceChanges();
}

void CCitrixUSBButtonDeviceManagerClient::OnUnload() {
    // Out of the registry first, so that nothing can find an object that is going. Every device is
    // unbound and told to stop, and every manager's probe thread too, before anything is waited
    // for; then one wait against one deadline for all of them. A failing destructor must not keep
    // the rest alive.
    std::list<std::shared_ptr<CMyCitrixMCUSBButtonDevice>> stopping;
    stopping.swap(devices);
    for (const std::shared_ptr<CMyCitrixMCUSBButtonDevice>& device : stopping) {
        try {
            device->Unbind();
            device->RequestDisconnect();
        } catch (...) {
        }
    }
    std::list<CMyCitrixMCUSBButtonDeviceManager*> closing;
    closing.swap(managers);
    for (CMyCitrixMCUSBButtonDeviceManager* manager : closing) manager->RequestStop();
    const StopDeadline deadline = StopDeadlineFromNow();
    for (CMyCitrixMCUSBButtonDeviceManager* manager : closing) {
        try {
            manager->WaitForStop(deadline);
            delete manager;  // its probe thread has ended, or ends by itself
        } catch (...) {
        }
    }
    for (const std::shared_ptr<CMyCitrixMCUSBButtonDevice>& device : stopping) {
        try {
            device->WaitForDisconnect(deadline);
        } catch (...) {
        }
    }
}

int CCitrixUSBButtonDeviceManagerClient::OnDataReceived(const uint8_t* data, uint16_t size) {
    // Nothing may leave towards the ICA Client: a failing operation ends its message here, traced.
    try {
        CMemoryStream stream;
        stream.Attach(data, size);  // read in place; the block stays the host's
        uint32_t code = 0;
        if (!ReadUInt32(stream, code)) {
            TraceDispatcherError(
                FormatString("Received an invalid message from server: %s", Dump(data, size).c_str()));
            return 0;
        }
        ObjectHandle handle = 0;
        if (!ReadHandle(stream, handle)) {
            TraceDispatcherError(FormatString("Received an invalid message (no thisPtr) from server: %s",
                                              Dump(data, size).c_str()));
            return 0;
        }
        Execute(stream, code, handle);
    } catch (const std::string& text) {
        TraceDispatcherError(text);
    } catch (const std::bad_alloc&) {
        TraceDispatcherError("Out of memory while handling a message from server");
    } catch (const std::exception& e) {
        TraceDispatcherError(FormatString("Failure while handling a message from server: %s", e.what()));
    } catch (...) {
        TraceDispatcherError("Unknown failure while handling a message from server");
    }
    return 0;
}

void CCitrixUSBButtonDeviceManagerClient::Execute(CMemoryStream& stream, uint32_t code, ObjectHandle handle) {
    const std::string h = HandleText(handle);
    switch (static_cast<MessageType>(code)) {
    case MessageType::CreateManager:
        TraceDispatcher("Creating new manager for " + h);
        CreateManager(handle);
        SendReply(MessageType::CreateManagerReply, handle);
        return;

    case MessageType::DeleteManager:
        TraceDispatcher("Deleting manager for " + h);
        DeleteManager(handle);
        SendReply(MessageType::DeleteManagerReply, handle);
        return;

    case MessageType::GetConnectedDevices: {
        TraceDispatcher("Getting connected devices for " + h);
        std::list<USBButtonDeviceDescriptor> list;
        if (CMyCitrixMCUSBButtonDeviceManager* manager = FindManager(handle)) {
            manager->GetConnectedDevices(list);
        }
        CReply reply(MessageType::GetConnectedDevicesReply, handle);
        WriteDescriptorList(reply.Stream(), list);
        reply.Send();
        return;
    }

    case MessageType::CreateDevice:
        TraceDispatcher("Creating new device for " + h);
        CreateDevice(handle);
        SendReply(MessageType::CreateDeviceReply, handle);
        return;

    case MessageType::DeleteDevice:
        TraceDispatcher("Deleting device for " + h);
        DeleteDevice(handle);
        SendReply(MessageType::DeleteDeviceReply, handle);
        return;

    case MessageType::AssignDevice: {
        ObjectHandle source = 0;
        // A source that is not there in full is not looked up: a partly read value names nobody.
        const bool haveSource = ReadHandle(stream, source);
        if (!haveSource) source = 0;
        TraceDispatcher("Assigning device " + HandleText(source) + " to " + h);
        CMyCitrixMCUSBButtonDevice* target = FindDevice(handle);
        CMyCitrixMCUSBButtonDevice* from = nullptr;
        if (haveSource) {
            from = FindDevice(source);
        } else {
            TraceDispatcherError("Could not find device for " + HandleText(source));
        }
        if (target && from) *target = *from;
        SendReply(MessageType::AssignDeviceReply, handle);
        return;
    }

    case MessageType::InitDevice: {
        USBButtonDeviceDescriptor descriptor;
        ReadDeviceDescriptor(stream, descriptor);
        TraceDispatcher(FormatString("Init with device %i, %s", descriptor.id, descriptor.name.c_str()));
        if (CMyCitrixMCUSBButtonDevice* device = FindDevice(handle)) device->Init(descriptor);
        SendReply(MessageType::InitDeviceReply, handle);
        return;
    }

    case MessageType::SetLEDs: {
        std::list<LEDSetting> settings;
        ReadLEDSettingList(stream, settings);
        TraceDispatcher("SetLEDs with device " + h);
        // The device writes the report on its own writer thread and replies from there once the
        // device has taken it: a stalled device never holds this engine thread.
        if (CMyCitrixMCUSBButtonDevice* device = FindDevice(handle)) {
            device->SetLEDsThenReply(settings);
        } else {
            SendReply(MessageType::SetLEDsReply, handle);
        }
        return;
    }

    case MessageType::ConnectDevice: {
        uint8_t flag = 0;
        ReadUInt8(stream, flag);
        TraceDispatcher(std::string(flag != 0 ? "Connect" : "Disconnect") + " device " + h);
        if (CMyCitrixMCUSBButtonDevice* device = FindDevice(handle)) {
            if (flag != 0) {
                device->Connect();
            } else {
                device->Disconnect();
            }
        }
        SendReply(MessageType::ConnectDeviceReply, handle);
        return;
    }

    default:
        TraceDispatcherError(FormatString("Unknown message from server %i received", static_cast<int>(code)));
        return;
    }
}

void CCitrixUSBButtonDeviceManagerClient::CreateManager(ObjectHandle handle) {
    std::unique_ptr<CMyCitrixMCUSBButtonDeviceManager> manager(new CMyCitrixMCUSBButtonDeviceManager());
    manager->channelClient = this;
    manager->serverHandle = handle;
    managers.push_back(manager.get());
    manager.release();
}

void CCitrixUSBButtonDeviceManagerClient::DeleteManager(ObjectHandle handle) {
    for (auto it = managers.begin(); it != managers.end(); ++it) {
        if ((*it)->serverHandle.load() == handle) {
            CMyCitrixMCUSBButtonDeviceManager* const manager = *it;
            managers.erase(it);
            delete manager;
            return;
        }
    }
    TraceDispatcherError("Could not find/delete manager for " + HandleText(handle));
}

CMyCitrixMCUSBButtonDeviceManager* CCitrixUSBButtonDeviceManagerClient::FindManager(ObjectHandle handle) {
    for (CMyCitrixMCUSBButtonDeviceManager* manager : managers) {
        if (manager->serverHandle.load() == handle) return manager;
    }
    TraceDispatcherError("Could not find manager for " + HandleText(handle));
    return nullptr;
}

void CCitrixUSBButtonDeviceManagerClient::CreateDevice(ObjectHandle handle) {
    std::shared_ptr<CMyCitrixMCUSBButtonDevice> device = std::make_shared<CMyCitrixMCUSBButtonDevice>();
    device->Bind(this, handle);
    devices.push_back(std::move(device));
}

void CCitrixUSBButtonDeviceManagerClient::DeleteDevice(ObjectHandle handle) {
    for (auto it = devices.begin(); it != devices.end(); ++it) {
        if ((*it)->serverHandle.load() == handle) {
            // Out of the registry and unbound first: nothing more is sent for a handle the server
            // has deleted. Then its threads are stopped with one bounded wait on this engine thread;
            // a reader still running after it (stuck in its report handler), or a writer still in a
            // write, holds the device and lets it go when it ends.
            std::shared_ptr<CMyCitrixMCUSBButtonDevice> device = std::move(*it);
            devices.erase(it);
            device->Unbind();
            device->Disconnect();
            return;
        }
    }
    TraceDispatcherError("Could not find/delete device for " + HandleText(handle));
}

CMyCitrixMCUSBButtonDevice* CCitrixUSBButtonDeviceManagerClient::FindDevice(ObjectHandle handle) {
    for (const std::shared_ptr<CMyCitrixMCUSBButtonDevice>& device : devices) {
        if (device->serverHandle.load() == handle) return device.get();
    }
    TraceDispatcherError("Could not find device for " + HandleText(handle));
    return nullptr;
}
