// The devices the uhid player can play: every model of the simulated catalogue (same keys, names,
// vendor, product and version ids) as real HID report descriptors, so that the kernel's HID core
// parses them and hidraw serves them as it serves the physical devices. A model has one or more
// interfaces; each interface becomes one uhid device (the SpeechMike III also shows up as a
// keyboard and a mouse with the same ids, as the hand-set does on USB).
//
// Report lengths are given as Windows counts them (the largest report's data plus the report-id
// byte, which Windows always delivers, 0 for a device without numbered reports), so that tests can
// compare them with what the driver lists.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace uhidplayer {

struct UhidInterface {
    uint16_t usagePage = 0;
    uint16_t usage = 0;
    uint8_t reportId = 0;             // 0: the interface has no numbered reports
    unsigned inputLength = 0;         // as Windows counts it, report-id byte included
    unsigned outputLength = 0;        // 0: no output report
    std::vector<uint8_t> descriptor;  // the HID report descriptor
};

struct UhidModel {
    const char* key;    // "SpeechMikeIII", as in the simulated catalogue
    const char* name;   // the product name the device reports
    uint16_t vendorID;
    uint16_t productID;
    uint16_t version;
    bool supported;     // a model the driver serves (its first interface is the served one)
    std::vector<UhidInterface> interfaces;
};

const std::vector<UhidModel>& UhidModels();
const UhidModel* FindUhidModel(const std::string& key);  // null for an unknown key

// One interface with a vendor-defined collection (usage page 0xFF00 + page, usage 1) of the given
// report lengths (Windows counts, report-id byte included), for custom devices.
UhidInterface VendorInterface(uint16_t usagePage, uint16_t usage, uint8_t reportId, unsigned inputLength,
                              unsigned outputLength);

}  // namespace uhidplayer
