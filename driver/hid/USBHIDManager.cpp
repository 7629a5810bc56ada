#include "USBHIDManager.h"

#include <cstddef>
#include <cstring>

#include "FormatString.h"
#include "HIDInterfaceQuery.h"
#include "HIDSeam.h"
#include "LastError.h"
#include "LowerCase.h"
#include "MessageBox.h"
#include "USBHIDManagerImpl.h"

const char* const kHiddenWindowName = "USBHIDDeviceManager Hidden Window";

CUSBHIDManager::CUSBHIDManager() : impl(new CUSBHIDManagerImpl(this)) { impl->CreateNotificationWindow(); }

CUSBHIDManager::~CUSBHIDManager() {
    impl->DestroyNotificationWindow();
    impl->probedInterfaces.clear();
    delete impl;
    impl = nullptr;
}

void CUSBHIDManager::OnDeviceArrival(const USBHIDDeviceInfo&) {}
void CUSBHIDManager::OnDeviceRemoval(const USBHIDDeviceInfo&) {}

void CUSBHIDManager::GetHIDDevices(std::list<USBHIDDeviceInfo>& devices) { impl->GetHIDDevices(devices); }

bool CUSBHIDManager::ReceivesNotifications() const {
    return impl->window != nullptr && impl->notificationHandle != nullptr;
}

CUSBHIDManagerImpl::CUSBHIDManagerImpl(CUSBHIDManager* owner)
    : notificationHandle(nullptr), window(nullptr), owner(owner) {}

bool ProbeHIDInterface(const std::string& devicePath, USBHIDDeviceInfo& info) {
    hidseam::Handle handle = hidseam::OpenPath(devicePath, hidseam::kAccessQuery, hidseam::kShareReadWrite, 0);
    if (handle == hidseam::kInvalidHandle) return false;
    // The handle is closed on every way out, the thrown ones included.
    struct Closer {
        hidseam::Handle handle;
        ~Closer() { hidseam::ClosePath(handle); }
    } closer{handle};

    if (!QueryHIDInterface(handle, info)) return false;
    info.devicePath = LowerCaseACP(devicePath);
    info.productString.clear();
    return true;
}

bool CUSBHIDManagerImpl::Probe(const std::string& path, USBHIDDeviceInfo& info) {
    if (!ProbeHIDInterface(path, info)) return false;
    probedInterfaces[info.devicePath] = info;
    return true;
}

void CUSBHIDManagerImpl::OnDeviceChange(uint32_t message, uintptr_t event, const void* record) {
    if (message != hidseam::kMessageDeviceChange || record == nullptr) return;
    const hidseam::BroadcastHeader* header = static_cast<const hidseam::BroadcastHeader*>(record);
    if (header->deviceType != hidseam::kDeviceTypeInterface) return;
    const hidseam::BroadcastDeviceInterface* broadcast = static_cast<const hidseam::BroadcastDeviceInterface*>(record);
    // The name ends at its NUL, and never beyond the size the record gives itself.
    size_t room = 0;
    if (broadcast->size > offsetof(hidseam::BroadcastDeviceInterface, name)) {
        room = broadcast->size - offsetof(hidseam::BroadcastDeviceInterface, name);
    }
    const std::string name = LowerCaseACP(std::string(broadcast->name, strnlen(broadcast->name, room)));

    if (event == hidseam::kDeviceArrival) {
        USBHIDDeviceInfo info;
        if (Probe(name, info)) owner->OnDeviceArrival(info);
    } else if (event == hidseam::kDeviceRemoveComplete) {
        USBHIDDeviceInfo info;
        info.devicePath = name;
        auto known = probedInterfaces.find(name);
        if (known != probedInterfaces.end()) info = known->second;
        owner->OnDeviceRemoval(info);
    }
}

void CUSBHIDManagerImpl::HandleMessage(uint32_t message, uintptr_t event, const void* record) {
    try {
        OnDeviceChange(message, event, record);
    } catch (...) {
        ShowMessageBox(FormatString("Reading from USB deviced failed: %s", LastErrorText().c_str()), "USBHIDManager",
                       kMessageBoxOk | kMessageBoxIconError);
    }
}

void CUSBHIDManagerImpl::GetHIDDevices(std::list<USBHIDDeviceInfo>& devices) {
    devices.clear();
    hidseam::Guid guid;
    hidseam::GetHidGuid(guid);
    void* deviceSet = hidseam::GetClassDevs(guid, hidseam::kPresentInterfaces);
    if (!deviceSet) throw std::string("SetupDiGetClassDevs failed");
    struct Destroyer {
        void* set;
        ~Destroyer() { hidseam::DestroyDeviceInfoList(set); }
    } destroyer{deviceSet};
    std::string path;
    for (uint32_t index = 0; hidseam::EnumDeviceInterface(deviceSet, guid, index, path); ++index) {
        USBHIDDeviceInfo info;
        if (Probe(path, info)) devices.push_back(info);
    }
}
