// The HID calls of the driver, answered by SetupAPI, hid.dll and the system's file and
// notification calls.
#include <windows.h>
#include <dbt.h>
// The MinGW HID headers declare C functions without C linkage of their own.
extern "C" {
#include <hidsdi.h>
#include <hidpi.h>
}
#include <setupapi.h>

#include <cstring>
#include <vector>

#include "HIDSeam.h"
#include "OverlappedWrite.h"
#include "WindowsInterfacePathForm.h"

static_assert(sizeof(hidseam::Guid) == sizeof(GUID), "GUID layout");
static_assert(sizeof(HIDD_ATTRIBUTES) == sizeof(hidseam::Attributes), "HIDD_ATTRIBUTES layout");
static_assert(sizeof(DEV_BROADCAST_DEVICEINTERFACE_A) == sizeof(hidseam::BroadcastDeviceInterface),
              "DEV_BROADCAST_DEVICEINTERFACE_A layout");

namespace hidseam {

namespace {

// A device-interface path is short; a detail size beyond this is not believed.
constexpr DWORD kMaxDetailSize = 64 * 1024;

GUID ToGuid(const Guid& guid) {
    GUID result;
    std::memcpy(&result, &guid, sizeof(result));
    return result;
}

}  // namespace

void GetHidGuid(Guid& guid) {
    GUID hid;
    HidD_GetHidGuid(&hid);
    std::memcpy(&guid, &hid, sizeof(guid));
}

Handle OpenPath(const std::string& path, uint32_t access, uint32_t share, uint32_t flags) {
    HANDLE handle = CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING, flags, nullptr);
    return reinterpret_cast<Handle>(handle);
}

// A query open (access 0) needs no rights on the interface, so no refusal is one to wait out.
bool AccessRefused(const std::string&, uint16_t&, uint16_t&) { return false; }
std::string AccessRefusalHint() { return std::string(); }

void ClosePath(Handle handle) {
    HANDLE value = reinterpret_cast<HANDLE>(handle);
    if (value && value != INVALID_HANDLE_VALUE) CloseHandle(value);
}

bool WriteOutputReport(Handle handle, const char* report, size_t length, const std::atomic<bool>& stop,
                       uint32_t timeoutMilliseconds) {
    return WriteOverlapped(reinterpret_cast<HANDLE>(handle), report, length, &stop, timeoutMilliseconds);
}

void CancelOutputReport(Handle handle) { CancelIoEx(reinterpret_cast<HANDLE>(handle), nullptr); }

bool GetAttributes(Handle handle, Attributes& attributes) {
    HIDD_ATTRIBUTES system = {};
    system.Size = attributes.size;
    if (!HidD_GetAttributes(reinterpret_cast<HANDLE>(handle), &system)) return false;
    attributes.vendorID = system.VendorID;
    attributes.productID = system.ProductID;
    attributes.versionNumber = system.VersionNumber;
    return true;
}

bool GetPreparsedData(Handle handle, void*& preparsedData) {
    PHIDP_PREPARSED_DATA data = nullptr;
    if (!HidD_GetPreparsedData(reinterpret_cast<HANDLE>(handle), &data)) return false;
    preparsedData = data;
    return true;
}

uint32_t GetCaps(void* preparsedData, Caps& caps) {
    HIDP_CAPS system;
    std::memset(&system, 0, sizeof(system));
    const NTSTATUS status = HidP_GetCaps(static_cast<PHIDP_PREPARSED_DATA>(preparsedData), &system);
    caps.usage = system.Usage;
    caps.usagePage = system.UsagePage;
    caps.inputReportByteLength = system.InputReportByteLength;
    caps.outputReportByteLength = system.OutputReportByteLength;
    return static_cast<uint32_t>(status);
}

void FreePreparsedData(void* preparsedData) {
    HidD_FreePreparsedData(static_cast<PHIDP_PREPARSED_DATA>(preparsedData));
}

void* GetClassDevs(const Guid& guid, uint32_t flags) {
    const GUID system = ToGuid(guid);
    HDEVINFO set = SetupDiGetClassDevsA(&system, nullptr, nullptr, flags);
    return set == INVALID_HANDLE_VALUE ? nullptr : set;
}

bool EnumDeviceInterface(void* deviceSet, const Guid& guid, uint32_t index, std::string& path) {
    const GUID system = ToGuid(guid);
    SP_DEVICE_INTERFACE_DATA data = {};
    data.cbSize = sizeof(data);
    if (!SetupDiEnumDeviceInterfaces(deviceSet, nullptr, &system, index, &data)) return false;
    path.clear();
    DWORD required = 0;
    SetupDiGetDeviceInterfaceDetailA(deviceSet, &data, nullptr, 0, &required, nullptr);
    if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) || required > kMaxDetailSize) return true;
    std::vector<char> buffer(required, 0);
    SP_DEVICE_INTERFACE_DETAIL_DATA_A* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);  // the fixed part: 5 in a 32-bit build
    if (SetupDiGetDeviceInterfaceDetailA(deviceSet, &data, detail, required, nullptr, nullptr)) {
        const size_t room = required - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
        path.assign(detail->DevicePath, strnlen(detail->DevicePath, room));
    }
    return true;
}

void DestroyDeviceInfoList(void* deviceSet) { SetupDiDestroyDeviceInfoList(deviceSet); }

void* RegisterNotification(void* recipient, const BroadcastDeviceInterface& filter, uint32_t flags) {
    DEV_BROADCAST_DEVICEINTERFACE_A system;
    std::memcpy(&system, &filter, sizeof(system));
    return RegisterDeviceNotificationA(static_cast<HANDLE>(recipient), &system, flags);
}

bool UnregisterNotification(void* notification) {
    return UnregisterDeviceNotification(static_cast<HDEVNOTIFY>(notification)) != FALSE;
}

// SetupAPI lists HID interfaces as "\\?\hid#..." paths of the device namespace.
bool IsDeviceInterfacePathForm(const std::string& path) { return hidpathform::IsWindowsHIDInterfacePathForm(path); }

}  // namespace hidseam
