// The channel's field encoding as the server side writes and reads it: little-endian 32-bit
// numbers and handles, one-byte flags, strings as a 32-bit length and that many bytes, counted
// lists, and the descriptor record (id, name, then the HID interface: devicePath, usageType,
// vendorID, productID, versionNumber, productString, inputReportByteLength,
// outputReportByteLength).
//
// It is written here on purpose rather than borrowed from the driver's own codec: tests play the
// server with it, so a field the driver writes or reads out of place shows up as a difference
// instead of being undone by the same mistake on the other side.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "USBButtonDeviceDescriptor.h"

namespace ServerProxy {
namespace wire {

using Bytes = std::vector<uint8_t>;

void Put8(Bytes& bytes, uint8_t value);
void Put32(Bytes& bytes, uint32_t value);
void PutString(Bytes& bytes, const std::string& text);
void PutDescriptor(Bytes& bytes, const USBButtonDeviceDescriptor& descriptor);
void PutLEDSetting(Bytes& bytes, const LEDSetting& setting);

// Reads fields in order from a block. Every read checks the bytes left first: one that does not
// fit fails, and so does every later read. A string keeps the text up to its first zero byte.
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data(data), left(size) {}
    bool Get8(uint8_t& value);
    bool Get32(uint32_t& value);
    bool GetInt32(int32_t& value);
    bool GetString(std::string& text);
    bool GetDescriptor(USBButtonDeviceDescriptor& descriptor);
    bool GetLEDSetting(LEDSetting& setting);
    // A count, then that many elements; a count the bytes left cannot carry fails before anything
    // is allocated for it.
    bool GetDescriptorList(std::vector<USBButtonDeviceDescriptor>& list);
    bool GetLEDSettingList(std::vector<LEDSetting>& list);
    size_t Left() const { return left; }

private:
    bool Take(size_t count, const uint8_t*& at);
    template <class T>
    bool GetList(std::vector<T>& list, size_t minElementSize, bool (Reader::*getElement)(T&));
    const uint8_t* data;
    size_t left;
    bool failed = false;
};

}  // namespace wire
}  // namespace ServerProxy
