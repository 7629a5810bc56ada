// Codecs of the channel's records (HID interface, button device descriptor, LED setting) and of
// counted lists of them.
//
// Record reads and writes return true when the stream has no error flags afterwards.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>

#include "MemoryStream.h"
#include "StreamCodec.h"
#include "USBButtonDeviceDescriptor.h"
#include "USBHIDDeviceInfo.h"

// Smallest wire sizes: every string empty.
constexpr uint32_t kHIDDeviceInfoMinWireSize = 32;
constexpr uint32_t kDeviceDescriptorMinWireSize = 40;
constexpr uint32_t kLEDSettingWireSize = 8;

// Optional progress report of the list codecs, called after each element with the abort flag
// (set it to stop the list after this element), the percentage k * 100 / C after the k-th of C
// elements (integer arithmetic) and 0. Runs on the caller's thread, inside the codec call.
using CodecProgressCallback = std::function<void(bool& abort, int32_t percentage, int32_t reserved)>;

// devicePath, usageType, vendorID, productID, versionNumber, productString,
// inputReportByteLength, outputReportByteLength.
bool WriteHIDDeviceInfo(std::ostream& stream, const USBHIDDeviceInfo& info);
bool ReadHIDDeviceInfo(CMemoryStream& stream, USBHIDDeviceInfo& info);
// id, name, hidInfo.
bool WriteDeviceDescriptor(std::ostream& stream, const USBButtonDeviceDescriptor& descriptor);
bool ReadDeviceDescriptor(CMemoryStream& stream, USBButtonDeviceDescriptor& descriptor);
// led, value.
bool WriteLEDSetting(std::ostream& stream, const LEDSetting& setting);
bool ReadLEDSetting(CMemoryStream& stream, LEDSetting& setting);

namespace record_codec_detail {

bool HasNoErrorFlags(const std::ios& stream);
int32_t Percentage(uint64_t done, uint64_t count);

// Count, then the elements in list order; the callback may stop the list early (the count
// already written stays as it is).
template <class List, class WriteElement>
bool WriteCountedList(std::ostream& stream, const List& list, WriteElement writeElement,
                      const CodecProgressCallback& progress) {
    const uint64_t count = static_cast<uint64_t>(list.size());
    if (count > 0xFFFFFFFFu) {
        stream.setstate(std::ios_base::badbit);
        return false;
    }
    if (!WriteUInt32(stream, static_cast<uint32_t>(count))) {
        return false;
    }
    uint64_t done = 0;
    for (const auto& element : list) {
        if (!writeElement(stream, element)) {
            return false;
        }
        ++done;
        if (progress) {
            bool abort = false;
            progress(abort, Percentage(done, count), 0);
            if (abort) {
                break;
            }
        }
    }
    return HasNoErrorFlags(stream);
}

// Count C, then C elements. The list is emptied once the count has been read (a failed count read
// leaves it as it was).
//
// When the remaining bytes can carry C elements of the smallest wire size, the list is given C
// default elements and they are read in order; a read that fails stops the list there (the element
// being read holds what could be read, the later ones stay default).
//
// When they cannot, nothing is created for the elements that are missing: the elements actually
// present are read one after another and appended (the last one as far as its bytes go), and the
// read fails as a read past the end.
template <class List, class ReadElement>
bool ReadCountedList(CMemoryStream& stream, List& list, uint32_t minElementSize,
                     const typename List::value_type& defaultElement, ReadElement readElement,
                     const CodecProgressCallback& progress) {
    uint32_t count = 0;
    if (!ReadUInt32(stream, count)) {
        return false;
    }
    list.clear();
    uint64_t done = 0;
    auto reportProgress = [&]() {
        ++done;
        if (!progress) {
            return false;
        }
        bool abort = false;
        progress(abort, Percentage(done, count), 0);
        return abort;
    };
    if (static_cast<uint64_t>(count) * minElementSize <= stream.GetSize()) {
        list.assign(count, defaultElement);
        for (auto& element : list) {
            readElement(stream, element);
            if (stream.fail()) {
                return false;
            }
            if (reportProgress()) {
                break;
            }
        }
        return HasNoErrorFlags(stream);
    }
    while (done < count && stream.good()) {
        const uint32_t before = stream.GetSize();
        list.push_back(defaultElement);
        readElement(stream, list.back());
        if (stream.fail()) {
            if (stream.GetSize() == before) {
                list.pop_back();  // not one byte of it was there
            }
            break;
        }
        if (reportProgress()) {
            return HasNoErrorFlags(stream);
        }
    }
    MarkReadPastEnd(stream);
    return false;
}

}  // namespace record_codec_detail

// Descriptor list (std::vector or std::list of USBButtonDeviceDescriptor).
template <class List>
bool WriteDescriptorList(std::ostream& stream, const List& list, const CodecProgressCallback& progress = nullptr) {
    return record_codec_detail::WriteCountedList(stream, list, WriteDeviceDescriptor, progress);
}

template <class List>
bool ReadDescriptorList(CMemoryStream& stream, List& list, const CodecProgressCallback& progress = nullptr) {
    return record_codec_detail::ReadCountedList(stream, list, kDeviceDescriptorMinWireSize,
                                                USBButtonDeviceDescriptor(), ReadDeviceDescriptor, progress);
}

// LED setting list (std::vector or std::list of LEDSetting); default element (11, 0).
template <class List>
bool WriteLEDSettingList(std::ostream& stream, const List& list, const CodecProgressCallback& progress = nullptr) {
    return record_codec_detail::WriteCountedList(stream, list, WriteLEDSetting, progress);
}

template <class List>
bool ReadLEDSettingList(CMemoryStream& stream, List& list, const CodecProgressCallback& progress = nullptr) {
    return record_codec_detail::ReadCountedList(stream, list, kLEDSettingWireSize, LEDSetting(), ReadLEDSetting,
                                                progress);
}
