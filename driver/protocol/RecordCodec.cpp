#include "RecordCodec.h"

namespace record_codec_detail {

bool HasNoErrorFlags(const std::ios& stream) {
    return stream.rdstate() == std::ios_base::goodbit;
}

int32_t Percentage(uint64_t done, uint64_t count) {
    return count == 0 ? 100 : static_cast<int32_t>((done * 100) / count);
}

}  // namespace record_codec_detail

using record_codec_detail::HasNoErrorFlags;

bool WriteHIDDeviceInfo(std::ostream& stream, const USBHIDDeviceInfo& info) {
    WriteString(stream, info.devicePath);
    WriteInt32(stream, info.usageType);
    WriteInt32(stream, info.vendorID);
    WriteInt32(stream, info.productID);
    WriteInt32(stream, info.versionNumber);
    WriteString(stream, info.productString);
    WriteInt32(stream, info.inputReportByteLength);
    WriteInt32(stream, info.outputReportByteLength);
    return HasNoErrorFlags(stream);
}

bool ReadHIDDeviceInfo(CMemoryStream& stream, USBHIDDeviceInfo& info) {
    ReadString(stream, info.devicePath);
    ReadInt32(stream, info.usageType);
    ReadInt32(stream, info.vendorID);
    ReadInt32(stream, info.productID);
    ReadInt32(stream, info.versionNumber);
    ReadString(stream, info.productString);
    ReadInt32(stream, info.inputReportByteLength);
    ReadInt32(stream, info.outputReportByteLength);
    return HasNoErrorFlags(stream);
}

bool WriteDeviceDescriptor(std::ostream& stream, const USBButtonDeviceDescriptor& descriptor) {
    WriteInt32(stream, descriptor.id);
    WriteString(stream, descriptor.name);
    return WriteHIDDeviceInfo(stream, descriptor.hidInfo);
}

bool ReadDeviceDescriptor(CMemoryStream& stream, USBButtonDeviceDescriptor& descriptor) {
    ReadInt32(stream, descriptor.id);
    ReadString(stream, descriptor.name);
    return ReadHIDDeviceInfo(stream, descriptor.hidInfo);
}

bool WriteLEDSetting(std::ostream& stream, const LEDSetting& setting) {
    WriteInt32(stream, setting.led);
    WriteInt32(stream, setting.value);
    return HasNoErrorFlags(stream);
}

bool ReadLEDSetting(CMemoryStream& stream, LEDSetting& setting) {
    ReadInt32(stream, setting.led);
    ReadInt32(stream, setting.value);
    return HasNoErrorFlags(stream);
}
