// Input report decoding: which reports carry button state, and which hardware buttons they press.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "ProductGroup.h"

// One button of a model. Groups A to F: the button is down when report[byteIndex] & mask is
// non-zero. Group G: when report[byteIndex] equals mask.
struct ButtonBitRow {
    int32_t byteIndex;   // byte 0 is the report ID byte
    int32_t buttonCode;  // hardware button code
    uint8_t mask;
};

// The most codes one report can yield: one per row of the longest table (groups B and C).
constexpr size_t kMaxDecodedCodes = 15;

// The decoding rows of one product group, in table order (the order of the codes it yields).
struct ButtonBitTable {
    const ButtonBitRow* rows;
    size_t rowCount;
};

// The rows of a group; an empty table for ProductGroup::None.
ButtonBitTable GetButtonBitTable(ProductGroup group);

// The shortest input report the group's report test and decoding can read. A shorter report is
// ignored whole. 0 for ProductGroup::None.
size_t MinimumButtonReportLength(ProductGroup group);

// Whether an input report of this product carries button state. Never for an unknown product or a
// report too short for its group.
bool IsButtonReport(int32_t productID, const std::vector<char>& report);

// The hardware button codes pressed in this report, in table order (a code with two matching rows
// appears twice). An empty lastReport is first made as long as the report and zeroed; group G reads
// byte 7 of lastReport and then copies the report into it. An unknown product or a too short report
// yields nothing and leaves lastReport unchanged.
void DecodeButtons(int32_t productID, const std::vector<char>& report, std::vector<char>& lastReport,
                   std::vector<int32_t>& codes);
