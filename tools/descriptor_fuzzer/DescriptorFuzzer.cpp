// A HID report descriptor as a device hands it out, through the parser. Besides crashes: an
// accepted descriptor gives lengths a HID report can have, an input length exactly when the
// collection has input reports, report ids only when reports are numbered; the parser reads
// nothing beyond the size given (ASan sees the copy's end) and gives the same answer twice.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "ReportDescriptor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> copy(data, data + size);  // exactly size bytes on the heap
    hidraw::ReportDescriptorSummary summary;
    const bool accepted = hidraw::ParseReportDescriptor(copy.data(), copy.size(), summary);
    if (size > hidraw::kMaxDescriptorSize && accepted) std::abort();
    hidraw::ReportDescriptorSummary again;
    if (hidraw::ParseReportDescriptor(copy.data(), copy.size(), again) != accepted) std::abort();
    if (!accepted) return 0;
    if (summary.inputReportByteLength > hidraw::kMaxReportBytes) std::abort();
    if (summary.outputReportByteLength > hidraw::kMaxReportBytes) std::abort();
    if (summary.inputReportByteLength == 1 || summary.outputReportByteLength == 1) std::abort();  // id byte alone
    if ((summary.inputReportByteLength == 0) != summary.inputReportIds.none()) std::abort();
    if (!summary.numberedInputReports && summary.inputReportIds.count() > (summary.inputReportIds.test(0) ? 1u : 0u)) {
        std::abort();
    }
    if (again.usagePage != summary.usagePage || again.usage != summary.usage ||
        again.inputReportByteLength != summary.inputReportByteLength) {
        std::abort();
    }
    return 0;
}
