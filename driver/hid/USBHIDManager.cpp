#include "USBHIDManager.h"

#include <cstddef>
#include <cstring>

#include "FormatString.h"
#include "HIDInterfaceQuery.h"
#include "HIDProbeThread.h"
#include "HIDSeam.h"
#include "LastError.h"
#include "LowerCase.h"
#include "MessageBox.h"
#include "USBHIDDevice.h"
#include "USBHIDManagerImpl.h"

const char* const kHiddenWindowName = "USBHIDDeviceManager Hidden Window";

namespace {
// How long the engine thread waits for the probe thread: a listing's probes, the stop.
// More HID interfaces than any PC has; a backend that lists on beyond it is not followed.
constexpr uint32_t kMaxListedInterfaces = 1u << 16;
}  // namespace

CUSBHIDManager::CUSBHIDManager() : impl(new CUSBHIDManagerImpl(this)) { impl->CreateNotificationWindow(); }

CUSBHIDManager::~CUSBHIDManager() {
    impl->DestroyNotificationWindow();
    impl->Stop();
    impl->probedInterfaces.clear();
    delete impl;
    impl = nullptr;
}

void CUSBHIDManager::OnDeviceArrival(const USBHIDDeviceInfo&) {}
void CUSBHIDManager::OnDeviceRemoval(const USBHIDDeviceInfo&) {}
void CUSBHIDManager::OnDeviceChangeQueued() {}

void CUSBHIDManager::GetHIDDevices(std::list<USBHIDDeviceInfo>& devices) { impl->GetHIDDevices(devices); }

void CUSBHIDManager::DeliverDeviceChanges() { impl->DeliverDeviceChanges(); }

bool CUSBHIDManager::WaitForProbes(std::chrono::steady_clock::time_point deadline) {
    return impl->probes->WaitUntilIdle(deadline);
}

void CUSBHIDManager::WaitForAccessOf(bool (*supported)(uint16_t, uint16_t)) {
    impl->probes->SetAccessWaitFilter(supported);
}

void CUSBHIDManager::RequestStop() { impl->probes->RequestStop(); }

bool CUSBHIDManager::WaitForStop(std::chrono::steady_clock::time_point deadline) {
    impl->stopWaited = true;
    return !impl->probeThreadStarted || impl->probes->WaitForRunEnd(deadline);
}

bool CUSBHIDManager::ReceivesNotifications() const {
    return impl->window != nullptr && impl->notificationHandle != nullptr;
}

CUSBHIDManagerImpl::CUSBHIDManagerImpl(CUSBHIDManager* owner)
    : probes(std::make_shared<CHIDProbeQueue>()),
      probeThreadStarted(false),
      stopWaited(false),
      listings(0),
      notificationHandle(nullptr),
      window(nullptr),
      owner(owner) {}

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

void CUSBHIDManagerImpl::Push(HIDProbeItem item) {
    if (!probeThreadStarted) probeThreadStarted = hidprobe::StartProbeThread(probes);
    if (probeThreadStarted) {
        probes->Push(std::move(item));
    } else {
        hidprobe::Probe(item);  // no thread to be had: the probe runs here, as it used to
        probes->Append(std::move(item));
    }
}

void CUSBHIDManagerImpl::Stop() {
    // A probe thread still in a system open after the wait ends by itself; it holds the queue. An
    // owner that stopped many managers against one deadline has waited already.
    owner->RequestStop();
    if (!stopWaited) owner->WaitForStop(StopDeadlineFromNow());
}

void CUSBHIDManagerImpl::DeliverDeviceChanges() {
    for (HIDProbeItem& item : probes->TakeFinished()) {
        try {
            if (item.kind == HIDProbeItem::kArrival) {
                probedInterfaces[item.info.devicePath] = item.info;
                owner->OnDeviceArrival(item.info);
            } else {
                USBHIDDeviceInfo info;
                info.devicePath = item.path;
                auto known = probedInterfaces.find(item.path);
                if (known != probedInterfaces.end()) info = known->second;
                owner->OnDeviceRemoval(info);
            }
        } catch (...) {
            ShowDeviceChangeFailure();  // as the notification handler's guard does; the next goes on
        }
    }
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

    // A removal goes through the queue too, so that it never overtakes an arrival still probed.
    if (event == hidseam::kDeviceArrival || event == hidseam::kDeviceRemoveComplete) {
        HIDProbeItem item;
        item.kind = event == hidseam::kDeviceArrival ? HIDProbeItem::kArrival : HIDProbeItem::kRemoval;
        item.path = name;
        Push(std::move(item));
        owner->OnDeviceChangeQueued();
    }
}

void ShowDeviceChangeFailure() {
    ShowMessageBox(FormatString("Reading from USB deviced failed: %s", LastErrorText().c_str()), "USBHIDManager",
                   kMessageBoxOk | kMessageBoxIconError);
}

void CUSBHIDManagerImpl::HandleMessage(uint32_t message, uintptr_t event, const void* record) {
    try {
        OnDeviceChange(message, event, record);
    } catch (...) {
        ShowDeviceChangeFailure();
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
    // Enumeration runs here; the probes, which open the interfaces, run on the probe thread.
    const uint64_t listing = ++listings;
    HIDProbeItem item;
    item.kind = HIDProbeItem::kListed;
    item.listing = listing;
    bool any = false;
    for (uint32_t index = 0;
         index < kMaxListedInterfaces && hidseam::EnumDeviceInterface(deviceSet, guid, index, item.path); ++index) {
        Push(item);
        any = true;
    }
    if (any) probes->WaitUntilIdle(StopDeadlineFromNow());
    for (HIDProbeItem& listed : probes->TakeListed(listing)) {
        if (!listed.thrown.empty()) throw listed.thrown;
        if (!listed.probed) continue;
        probedInterfaces[listed.info.devicePath] = listed.info;
        devices.push_back(listed.info);
    }
}
