// The USB device under a HID interface, from the device tree (cfgmgr32): kept apart from the HID
// calls so that only the programs that ask for it (the device check) import cfgmgr32.
#include <windows.h>
#include <setupapi.h>
#include <cfgmgr32.h>

#include <vector>

#include "HIDSeam.h"
#include "UsbHardwareIds.h"

namespace hidseam {

namespace {

// A device-interface path is short; a detail size beyond this is not believed.
constexpr DWORD kMaxDetailSize = 64 * 1024;

// A device node's ids are a short REG_MULTI_SZ; a list beyond this is not believed.
constexpr ULONG kMaxIdBytes = 64 * 1024;

// A device node's hardware or compatible ids. The buffer grows to the size the system asks for
// (bounded); `readable` is false when the ids are there but could not be read, which says
// nothing about the bus the device is on.
std::vector<std::string> NodeIds(DEVINST node, ULONG property, bool& readable) {
    readable = true;
    std::vector<char> block(4096, 0);
    ULONG size = static_cast<ULONG>(block.size());
    ULONG type = 0;
    CONFIGRET result = CM_Get_DevNode_Registry_PropertyA(node, property, &type, block.data(), &size, 0);
    if (result == CR_BUFFER_SMALL && size > block.size() && size <= kMaxIdBytes) {
        block.assign(size, 0);
        result = CM_Get_DevNode_Registry_PropertyA(node, property, &type, block.data(), &size, 0);
    }
    if (result == CR_NO_SUCH_VALUE) return {};
    if (result != CR_SUCCESS || type != REG_MULTI_SZ) {
        readable = false;
        return {};
    }
    return SplitMultiString(block.data(), size < block.size() ? size : block.size());
}

std::vector<std::string> NodeIds(DEVINST node, ULONG property) {
    bool readable = true;
    return NodeIds(node, property, readable);
}

// The device node of the HID interface at path.
bool InterfaceNode(const std::string& path, DEVINST& node) {
    HDEVINFO set = SetupDiCreateDeviceInfoList(nullptr, nullptr);
    if (set == INVALID_HANDLE_VALUE) return false;
    SP_DEVICE_INTERFACE_DATA data = {};
    data.cbSize = sizeof(data);
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof(device);
    bool found = false;
    if (SetupDiOpenDeviceInterfaceA(set, path.c_str(), 0, &data)) {
        DWORD required = 0;
        SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &required, nullptr);
        if (required >= sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) && required <= kMaxDetailSize) {
            std::vector<char> buffer(required, 0);
            auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
            detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
            found = SetupDiGetDeviceInterfaceDetailA(set, &data, detail, required, nullptr, &device) != FALSE;
        }
    }
    SetupDiDestroyDeviceInfoList(set);
    if (found) node = device.DevInst;
    return found;
}

}  // namespace

// The HID device's parent is its USB interface: on a composite device a node "USB\VID_..&PID_..&MI_nn"
// whose parent is the USB device, the other functions its siblings; on a device with one
// interface the USB device itself. Hardware ids give VID, PID and REV, compatible ids the class.
bool DescribeUsbDevice(const std::string& path, UsbDeviceFacts& facts) {
    DEVINST hid = 0, usbInterface = 0;
    if (!InterfaceNode(path, hid) || CM_Get_Parent(&usbInterface, hid, 0) != CR_SUCCESS) return false;
    bool idsReadable = true;
    const std::vector<std::string> interfaceIds = NodeIds(usbInterface, CM_DRP_HARDWAREID, idsReadable);
    UsbDeviceFacts found;
    if (!idsReadable) {
        // Its ids are there but could not be read: the device may well be on USB, nothing is known.
        facts = found;
        return true;
    }
    if (!ReadUsbDeviceIds(interfaceIds, found)) return false;  // not on USB (Bluetooth, I2C)
    bool composite = false;
    for (const std::string& id : interfaceIds) composite = composite || IsUsbInterfaceId(id);
    if (!composite) {
        found.interfaces.push_back(ReadUsbClassIds(NodeIds(usbInterface, CM_DRP_COMPATIBLEIDS)));
        found.allInterfacesShown = true;
        facts = found;
        return true;
    }
    DEVINST usbDevice = 0, child = 0;
    if (CM_Get_Parent(&usbDevice, usbInterface, 0) == CR_SUCCESS) {
        UsbDeviceFacts device;
        if (ReadUsbDeviceIds(NodeIds(usbDevice, CM_DRP_HARDWAREID), device)) found.release = device.release;
        bool more = CM_Get_Child(&child, usbDevice, 0) == CR_SUCCESS;
        while (more && found.interfaces.size() < kMaxUsbInterfaces) {
            found.interfaces.push_back(ReadUsbClassIds(NodeIds(child, CM_DRP_COMPATIBLEIDS)));
            more = CM_Get_Sibling(&child, child, 0) == CR_SUCCESS;
        }
        // The USB device's children are its functions as the composite driver made them, not the
        // interfaces its configuration declares (one function may group several interfaces), so
        // the list may be incomplete.
        found.allInterfacesShown = false;
    } else {
        // Only this interface is known; the others may hold a DENY.
        found.interfaces.push_back(ReadUsbClassIds(NodeIds(usbInterface, CM_DRP_COMPATIBLEIDS)));
    }
    facts = found;
    return true;
}

}  // namespace hidseam
