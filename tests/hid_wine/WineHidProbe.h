// The test's own view of the HID interfaces present, taken straight from SetupAPI and hid.dll
// (wide-character calls, written apart from the driver's backend), to compare the backend with.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace winehid {

struct ProbedInterface {
    std::string path;  // as SetupAPI gives it
    uint16_t vendorID = 0;
    uint16_t productID = 0;
    uint16_t versionNumber = 0;
    uint16_t usagePage = 0;
    uint16_t usage = 0;
    uint16_t inputReportByteLength = 0;
    uint16_t outputReportByteLength = 0;
};

// Every present HID interface in SetupAPI's order, each opened for query and asked for its
// attributes and capabilities. An interface that cannot be probed is left out.
std::vector<ProbedInterface> ProbeHidInterfaces();

// The interfaces present, waiting up to 20 s for the first to appear (Wine's HID bus driver starts
// with the prefix's services). Empty when none appeared.
std::vector<ProbedInterface> PresentHidInterfaces();

// Wine's virtual keyboard (vendor 0x845E, product 0x0002), or null.
const ProbedInterface* FindKeyboard(const std::vector<ProbedInterface>& interfaces);

// The usage type the driver reports for a top-level usage, from the driver's published table.
int32_t ExpectedUsageType(uint16_t usagePage, uint16_t usage);

}  // namespace winehid
