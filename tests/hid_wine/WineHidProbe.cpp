#include "WineHidProbe.h"

#include <windows.h>
extern "C" {
#include <hidsdi.h>
#include <hidpi.h>
}
#include <setupapi.h>

#include <chrono>
#include <thread>

namespace winehid {

namespace {

std::string Narrow(const wchar_t* text) {
    std::string result;
    for (; *text; ++text) result += static_cast<char>(*text);  // device paths are ASCII
    return result;
}

bool ProbeOne(const wchar_t* path, ProbedInterface& out) {
    HANDLE handle = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    HIDD_ATTRIBUTES attributes = {};
    attributes.Size = sizeof(attributes);
    PHIDP_PREPARSED_DATA preparsed = nullptr;
    HIDP_CAPS caps = {};
    const bool probed = HidD_GetAttributes(handle, &attributes) && HidD_GetPreparsedData(handle, &preparsed);
    const bool haveCaps = probed && HidP_GetCaps(preparsed, &caps) == HIDP_STATUS_SUCCESS;
    if (preparsed) HidD_FreePreparsedData(preparsed);
    CloseHandle(handle);
    if (!haveCaps) return false;
    out.path = Narrow(path);
    out.vendorID = attributes.VendorID;
    out.productID = attributes.ProductID;
    out.versionNumber = attributes.VersionNumber;
    out.usagePage = caps.UsagePage;
    out.usage = caps.Usage;
    out.inputReportByteLength = caps.InputReportByteLength;
    out.outputReportByteLength = caps.OutputReportByteLength;
    return true;
}

}  // namespace

std::vector<ProbedInterface> ProbeHidInterfaces() {
    std::vector<ProbedInterface> found;
    GUID hid;
    HidD_GetHidGuid(&hid);
    HDEVINFO set = SetupDiGetClassDevsW(&hid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return found;
    SP_DEVICE_INTERFACE_DATA data = {};
    data.cbSize = sizeof(data);
    for (DWORD index = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &hid, index, &data); ++index) {
        DWORD required = 0;
        SetupDiGetDeviceInterfaceDetailW(set, &data, nullptr, 0, &required, nullptr);
        std::vector<unsigned char> buffer(required + sizeof(wchar_t), 0);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        if (!SetupDiGetDeviceInterfaceDetailW(set, &data, detail, required, nullptr, nullptr)) continue;
        ProbedInterface probed;
        if (ProbeOne(detail->DevicePath, probed)) found.push_back(probed);
    }
    SetupDiDestroyDeviceInfoList(set);
    return found;
}

std::vector<ProbedInterface> PresentHidInterfaces() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (;;) {
        std::vector<ProbedInterface> found = ProbeHidInterfaces();
        if (!found.empty() || std::chrono::steady_clock::now() > deadline) return found;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
}

const ProbedInterface* FindKeyboard(const std::vector<ProbedInterface>& interfaces) {
    for (const ProbedInterface& probed : interfaces) {
        if (probed.vendorID == 0x845E && probed.productID == 0x0002) return &probed;
    }
    return nullptr;
}

int32_t ExpectedUsageType(uint16_t usagePage, uint16_t usage) {
    struct Row {
        uint16_t page, usage;
        int32_t type;
    };
    static const Row rows[] = {{0x01, 0x01, 1}, {0x01, 0x02, 2}, {0x01, 0x04, 3}, {0x01, 0x05, 4},
                               {0x01, 0x06, 5}, {0x01, 0x07, 6}, {0x01, 0x80, 7}, {0x0C, 0x01, 8}};
    for (const Row& row : rows) {
        if (row.page == usagePage && row.usage == usage) return row.type;
    }
    return 9;
}

}  // namespace winehid
