// What the driver needs from a HID report descriptor, read the way Windows reads it for one HID
// interface: the top-level collection's usage page and usage, the input and output report lengths
// as HIDP_CAPS counts them (the largest report of the collection in bytes plus the report-id byte,
// which is there for devices without numbered reports too), and whether reports are numbered.
//
// A descriptor is device input: the parser walks it item by item within its length, bounds every
// count and nesting level, and refuses what the kernel's own parser would refuse (truncated items,
// unbalanced collections or push/pop, report id 0, reports longer than a HID report can be).
#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>

namespace hidraw {

// The longest descriptor the kernel hands out (HID_MAX_DESCRIPTOR_SIZE).
constexpr size_t kMaxDescriptorSize = 4096;
// The longest report the kernel's HID core handles (HID_MAX_BUFFER_SIZE), report-id byte included.
constexpr uint32_t kMaxReportBytes = 16384;

struct ReportDescriptorSummary {
    uint16_t usagePage = 0;
    uint16_t usage = 0;
    uint16_t inputReportByteLength = 0;   // 0: the collection has no input report
    uint16_t outputReportByteLength = 0;  // 0: the collection has no output report
    bool numberedInputReports = false;    // input reports carry a report id (the kernel's rule)
    std::bitset<256> inputReportIds;      // the ids of the collection's input reports (0 when unnumbered)
};

// False for a descriptor that is empty, longer than kMaxDescriptorSize, malformed, or has no
// top-level collection; summary is then unspecified.
bool ParseReportDescriptor(const uint8_t* data, size_t size, ReportDescriptorSummary& summary);

}  // namespace hidraw
