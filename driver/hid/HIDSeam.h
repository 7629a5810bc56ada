// The few calls that reach HID hardware. The shipping driver implements them with SetupAPI and
// hid.dll (library tov_hid_setupapi); the simulated HID bus (tools/simbus, library tov_simbus)
// implements them for tests and the demo. Exactly one implementation is linked into a module.
//
// Handles are Windows HANDLE values on Windows and file descriptors natively, both as intptr_t.
// What the calls return is used with the platform's ordinary I/O afterwards: ReadFile, WriteFile,
// CancelIo and CloseHandle on Windows; poll and close natively. Output reports are written through
// WriteOutputReport, so a test bus can hold, fail or see the cancel of a write.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "UsbDeviceFacts.h"

namespace hidseam {

using Handle = intptr_t;
constexpr Handle kInvalidHandle = -1;  // INVALID_HANDLE_VALUE, or an invalid descriptor

// Access and flag values as Windows numbers them; natively they mean the same.
constexpr uint32_t kAccessQuery = 0;
constexpr uint32_t kGenericRead = 0x80000000u;
constexpr uint32_t kGenericWrite = 0x40000000u;
constexpr uint32_t kShareReadWrite = 0x00000003u;  // FILE_SHARE_READ | FILE_SHARE_WRITE
constexpr uint32_t kFlagOverlapped = 0x40000000u;  // FILE_FLAG_OVERLAPPED

// The layout of a Windows GUID.
struct Guid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
};

inline bool operator==(const Guid& a, const Guid& b) {
    if (a.data1 != b.data1 || a.data2 != b.data2 || a.data3 != b.data3) return false;
    for (int i = 0; i < 8; ++i) {
        if (a.data4[i] != b.data4[i]) return false;
    }
    return true;
}

// The layout of HIDD_ATTRIBUTES; size must be 12 when asked for.
struct Attributes {
    uint32_t size;
    uint16_t vendorID;
    uint16_t productID;
    uint16_t versionNumber;
};
static_assert(sizeof(Attributes) == 12, "HIDD_ATTRIBUTES is 12 bytes");

// What the driver takes from HIDP_CAPS.
struct Caps {
    uint16_t usage;
    uint16_t usagePage;
    uint16_t inputReportByteLength;
    uint16_t outputReportByteLength;
};

constexpr uint32_t kHidpStatusSuccess = 0x00110000u;  // HIDP_STATUS_SUCCESS

// The layouts of DEV_BROADCAST_HDR and DEV_BROADCAST_DEVICEINTERFACE_A; on Windows the notification
// window receives exactly these in the lParam of WM_DEVICECHANGE.
struct BroadcastHeader {
    uint32_t size;
    uint32_t deviceType;
    uint32_t reserved;
};

struct BroadcastDeviceInterface {
    uint32_t size;
    uint32_t deviceType;
    uint32_t reserved;
    Guid classGuid;
    char name[1];  // NUL-terminated; the record is allocated longer than declared
};
static_assert(sizeof(BroadcastDeviceInterface) == 32, "DEV_BROADCAST_DEVICEINTERFACE_A is 32 bytes");

constexpr uint32_t kDeviceTypeInterface = 5;     // DBT_DEVTYP_DEVICEINTERFACE
constexpr uint32_t kDeviceTypeVolume = 2;        // DBT_DEVTYP_VOLUME
constexpr uint32_t kDeviceTypePort = 3;          // DBT_DEVTYP_PORT
constexpr uint32_t kMessageDeviceChange = 0x0219;  // WM_DEVICECHANGE
constexpr uint32_t kDeviceArrival = 0x8000;      // DBT_DEVICEARRIVAL
constexpr uint32_t kDeviceQueryRemove = 0x8001;  // DBT_DEVICEQUERYREMOVE
constexpr uint32_t kDeviceRemoveComplete = 0x8004;  // DBT_DEVICEREMOVECOMPLETE
constexpr uint32_t kDevNodesChanged = 0x0007;    // DBT_DEVNODES_CHANGED
constexpr uint32_t kNotifyWindowHandle = 0;      // DEVICE_NOTIFY_WINDOW_HANDLE

// Natively there are no windows: the manager registers an object of this kind instead, and the
// backend delivers each notification to it on the thread that registered it (see the backend's
// message pump). message, event and record are what a window procedure would receive.
class NotificationRecipient {
public:
    virtual ~NotificationRecipient() = default;
    virtual void OnMessage(uint32_t message, uintptr_t event, const void* record) = 0;
};

// HidD_GetHidGuid.
void GetHidGuid(Guid& guid);

// CreateFile(path, access, share, no security, OPEN_EXISTING, flags, no template);
// kInvalidHandle on failure with the system's last error set.
Handle OpenPath(const std::string& path, uint32_t access, uint32_t share, uint32_t flags);

// Right after an OpenPath that failed: true when the system refused the open for want of permission
// (a hidraw node that udevd has not yet given to the session user), with the vendor and product ids
// of the device behind path, read without opening it. False for every other failure, and where
// permissions never refuse an open for query (Windows, the simulated bus).
bool AccessRefused(const std::string& path, uint16_t& vendorId, uint16_t& productId);
// What an administrator checks when a device's node stays closed to the user: the rule that gives
// the devices to the user, and its group. Empty where AccessRefused never holds.
std::string AccessRefusalHint();

// CloseHandle, or close natively, of what OpenPath returned.
void ClosePath(Handle handle);

// One output report of length bytes, report-id byte first, on a write handle (opened with
// kFlagOverlapped on Windows). A device may take seconds to accept a report (one without an
// interrupt-OUT endpoint takes it as a control transfer), so this runs on a device's writer thread,
// never on the engine thread, and it is bounded: a write that the device has not taken after
// timeoutMilliseconds, or once stop is set and CancelOutputReport was called for the handle, is
// cancelled, and the call returns only after the system has let go of the report's bytes. True when
// all length bytes were written; false with the system's last error set. Windows: an overlapped
// WriteFile, CancelIoEx, and a wait for its completion. hidraw: the kernel bounds the write itself
// (a USB control or interrupt transfer times out after 5 s) and cannot cancel it, so a stop does not
// shorten it. The simulated bus: a held write waits until released, cancelled or timed out.
bool WriteOutputReport(Handle handle, const char* report, size_t length, const std::atomic<bool>& stop,
                       uint32_t timeoutMilliseconds);

// Any thread: cancels the write under way on the write handle, if any (CancelIoEx on Windows). The
// caller sets the stop flag that write was given first, so a write that begins afterwards sees it.
void CancelOutputReport(Handle handle);

// HidD_GetAttributes; attributes.size must hold 12.
bool GetAttributes(Handle handle, Attributes& attributes);

// HidD_GetPreparsedData, HidP_GetCaps (returns the HIDP status) and HidD_FreePreparsedData.
bool GetPreparsedData(Handle handle, void*& preparsedData);
uint32_t GetCaps(void* preparsedData, Caps& caps);
void FreePreparsedData(void* preparsedData);

// SetupDiGetClassDevs(guid, no enumerator, no window, flags); null on failure.
constexpr uint32_t kPresentInterfaces = 0x12;  // DIGCF_PRESENT | DIGCF_DEVICEINTERFACE
void* GetClassDevs(const Guid& guid, uint32_t flags);
// SetupDiEnumDeviceInterfaces for member index, then SetupDiGetDeviceInterfaceDetail. False when
// there is no such member (enumeration ends); true with path empty when the detail could not be read.
bool EnumDeviceInterface(void* deviceSet, const Guid& guid, uint32_t index, std::string& path);
// SetupDiDestroyDeviceInfoList.
void DestroyDeviceInfoList(void* deviceSet);

// RegisterDeviceNotification(recipient, filter, flags): recipient is the notification window
// (HWND) on Windows and a NotificationRecipient natively; filter a BroadcastDeviceInterface.
void* RegisterNotification(void* recipient, const BroadcastDeviceInterface& filter, uint32_t flags);
bool UnregisterNotification(void* notification);

// True when path has the form of this backend's device-interface paths; looks at the characters only and touches nothing.
bool IsDeviceInterfacePathForm(const std::string& path);

// The USB device that the HID interface at path sits on, for the device check's reading of the ICA
// Client's USB rules. False, with facts unchanged, when the path is no HID interface this backend
// knows or it does not sit on USB; otherwise true with what the platform shows (the rest unknown).
// Any thread; it opens nothing for I/O (sysfs files, the device tree, or the simulated bus under its lock).
bool DescribeUsbDevice(const std::string& path, UsbDeviceFacts& facts);

#if !defined(_WIN32)
// Natively only (on Windows ReadFile reads the handle): reads one input report from a read handle
// into report (length bytes, zero-filled by the caller) in the layout Windows delivers: byte 0 is
// the report id, 0 for a device without numbered reports. Called after poll() found the handle
// readable, never blocks. Returns the bytes placed (more than 0), 0 when the device is gone, or -1
// with errno set (EAGAIN: nothing to read, or a report this interface does not deliver).
long ReadInputReport(Handle handle, char* report, size_t length);
#endif

}  // namespace hidseam
