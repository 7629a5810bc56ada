#include "WireFields.h"

namespace ServerProxy {
namespace wire {

namespace {
// Smallest wire sizes of the list elements (every string empty).
constexpr size_t kDescriptorMinSize = 4 + 4 + 4 + 4 * 4 + 4 + 4 * 2;
constexpr size_t kLEDSettingSize = 8;
}  // namespace

void Put8(Bytes& bytes, uint8_t value) { bytes.push_back(value); }

void Put32(Bytes& bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutString(Bytes& bytes, const std::string& text) {
    Put32(bytes, static_cast<uint32_t>(text.size()));
    bytes.insert(bytes.end(), text.begin(), text.end());
}

void PutDescriptor(Bytes& bytes, const USBButtonDeviceDescriptor& d) {
    Put32(bytes, static_cast<uint32_t>(d.id));
    PutString(bytes, d.name);
    PutString(bytes, d.hidInfo.devicePath);
    Put32(bytes, static_cast<uint32_t>(d.hidInfo.usageType));
    Put32(bytes, static_cast<uint32_t>(d.hidInfo.vendorID));
    Put32(bytes, static_cast<uint32_t>(d.hidInfo.productID));
    Put32(bytes, static_cast<uint32_t>(d.hidInfo.versionNumber));
    PutString(bytes, d.hidInfo.productString);
    Put32(bytes, static_cast<uint32_t>(d.hidInfo.inputReportByteLength));
    Put32(bytes, static_cast<uint32_t>(d.hidInfo.outputReportByteLength));
}

void PutLEDSetting(Bytes& bytes, const LEDSetting& setting) {
    Put32(bytes, static_cast<uint32_t>(setting.led));
    Put32(bytes, static_cast<uint32_t>(setting.value));
}

bool Reader::Take(size_t count, const uint8_t*& at) {
    if (failed || count > left) {
        failed = true;
        return false;
    }
    at = data;
    data += count;
    left -= count;
    return true;
}

bool Reader::Get8(uint8_t& value) {
    const uint8_t* at = nullptr;
    if (!Take(1, at)) return false;
    value = at[0];
    return true;
}

bool Reader::Get32(uint32_t& value) {
    const uint8_t* at = nullptr;
    if (!Take(4, at)) return false;
    value = static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 | static_cast<uint32_t>(at[2]) << 16 |
            static_cast<uint32_t>(at[3]) << 24;
    return true;
}

bool Reader::GetInt32(int32_t& value) {
    uint32_t raw = 0;
    if (!Get32(raw)) return false;
    value = static_cast<int32_t>(raw);
    return true;
}

bool Reader::GetString(std::string& text) {
    uint32_t length = 0;
    const uint8_t* at = nullptr;
    if (!Get32(length) || !Take(length, at)) return false;
    size_t end = 0;
    while (end < length && at[end] != 0) ++end;
    text.assign(reinterpret_cast<const char*>(at), end);
    return true;
}

bool Reader::GetDescriptor(USBButtonDeviceDescriptor& d) {
    USBHIDDeviceInfo& info = d.hidInfo;
    return GetInt32(d.id) && GetString(d.name) && GetString(info.devicePath) && GetInt32(info.usageType) &&
           GetInt32(info.vendorID) && GetInt32(info.productID) && GetInt32(info.versionNumber) &&
           GetString(info.productString) && GetInt32(info.inputReportByteLength) &&
           GetInt32(info.outputReportByteLength);
}

bool Reader::GetLEDSetting(LEDSetting& setting) { return GetInt32(setting.led) && GetInt32(setting.value); }

template <class T>
bool Reader::GetList(std::vector<T>& list, size_t minElementSize, bool (Reader::*getElement)(T&)) {
    uint32_t count = 0;
    if (!Get32(count)) return false;
    if (count > left / minElementSize) return failed = true, false;
    list.assign(count, T());
    for (T& element : list) {
        if (!(this->*getElement)(element)) return false;
    }
    return true;
}

bool Reader::GetDescriptorList(std::vector<USBButtonDeviceDescriptor>& list) {
    return GetList(list, kDescriptorMinSize, &Reader::GetDescriptor);
}

bool Reader::GetLEDSettingList(std::vector<LEDSetting>& list) {
    return GetList(list, kLEDSettingSize, &Reader::GetLEDSetting);
}

}  // namespace wire
}  // namespace ServerProxy
