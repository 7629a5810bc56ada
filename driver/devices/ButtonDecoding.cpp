#include "ButtonDecoding.h"

#include <algorithm>

namespace {

const ButtonBitRow kGroupA[] = {
    {1, 3, 0x20}, {1, 6, 0x10}, {1, 7, 0x02}, {1, 5, 0x80}, {1, 2, 0x08}, {1, 4, 0x04}, {1, 1, 0x40},
};

const ButtonBitRow kGroupB[] = {
    {9, 3, 0x01},  {9, 8, 0x02},  {9, 6, 0x04},  {9, 7, 0x08},  {9, 5, 0x10},
    {9, 2, 0x20},  {9, 4, 0x40},  {9, 1, 0x80},  {8, 16, 0x01}, {8, 11, 0x02},
    {8, 12, 0x04}, {8, 13, 0x08}, {8, 14, 0x10}, {8, 1, 0x20},  {8, 15, 0x80},
};

// Group B's codes and masks, on bytes 3 and 2 instead of 9 and 8.
const ButtonBitRow kGroupC[] = {
    {3, 3, 0x01},  {3, 8, 0x02},  {3, 6, 0x04},  {3, 7, 0x08},  {3, 5, 0x10},
    {3, 2, 0x20},  {3, 4, 0x40},  {3, 1, 0x80},  {2, 16, 0x01}, {2, 11, 0x02},
    {2, 12, 0x04}, {2, 13, 0x08}, {2, 14, 0x10}, {2, 1, 0x20},  {2, 15, 0x80},
};

const ButtonBitRow kGroupD[] = {
    {1, 7, 0x01}, {1, 6, 0x02}, {1, 5, 0x04}, {1, 8, 0x08},
};

const ButtonBitRow kGroupE[] = {
    {1, 5, 0x01}, {1, 7, 0x04}, {1, 6, 0x02},
};

const ButtonBitRow kGroupF[] = {
    {3, 11, 0x01}, {3, 12, 0x02}, {3, 13, 0x04}, {3, 14, 0x08},
    {3, 3, 0x10},  {3, 6, 0x20},  {3, 7, 0x40},  {3, 5, 0x80},
};

// Equality rows: byte 7 holds one button at a time as an enumerated value, byte 8 one of four.
const ButtonBitRow kGroupG[] = {
    {7, 11, 0x04}, {7, 12, 0x08}, {7, 13, 0x10}, {7, 2, 0x20}, {7, 3, 0x40},
    {7, 4, 0x80},  {8, 7, 0x01},  {8, 8, 0x02},  {8, 6, 0x03}, {8, 5, 0x04},
};

constexpr int32_t kSonicMicButtonByte = 7;

template <size_t N>
constexpr bool FitsDecodedCodes(const ButtonBitRow (&)[N]) {
    return N <= kMaxDecodedCodes;
}
static_assert(FitsDecodedCodes(kGroupA) && FitsDecodedCodes(kGroupB) && FitsDecodedCodes(kGroupC) &&
                  FitsDecodedCodes(kGroupD) && FitsDecodedCodes(kGroupE) && FitsDecodedCodes(kGroupF) &&
                  FitsDecodedCodes(kGroupG),
              "a report yields at most kMaxDecodedCodes codes");

template <size_t N>
ButtonBitTable MakeTable(const ButtonBitRow (&rows)[N]) {
    return ButtonBitTable{rows, N};
}

uint8_t ByteAt(const std::vector<char>& bytes, size_t index) {
    return index < bytes.size() ? static_cast<uint8_t>(bytes[index]) : 0;
}

}  // namespace

ButtonBitTable GetButtonBitTable(ProductGroup group) {
    switch (group) {
        case ProductGroup::A: return MakeTable(kGroupA);
        case ProductGroup::B: return MakeTable(kGroupB);
        case ProductGroup::C: return MakeTable(kGroupC);
        case ProductGroup::D: return MakeTable(kGroupD);
        case ProductGroup::E: return MakeTable(kGroupE);
        case ProductGroup::F: return MakeTable(kGroupF);
        case ProductGroup::G: return MakeTable(kGroupG);
        case ProductGroup::None: break;
    }
    return ButtonBitTable{nullptr, 0};
}

size_t MinimumButtonReportLength(ProductGroup group) {
    // Bytes the report test reads: 0 and 1 (groups G, B, C: 1 is the highest), 1 and 2 (F), 0 (A),
    // none (D, E).
    size_t length = 0;
    switch (group) {
        case ProductGroup::None: return 0;
        case ProductGroup::F: length = 3; break;
        case ProductGroup::A: length = 1; break;
        case ProductGroup::D:
        case ProductGroup::E: length = 0; break;
        default: length = 2; break;
    }
    ButtonBitTable table = GetButtonBitTable(group);
    for (size_t i = 0; i < table.rowCount; ++i) {
        length = std::max(length, static_cast<size_t>(table.rows[i].byteIndex) + 1);
    }
    return length;
}

bool IsButtonReport(int32_t productID, const std::vector<char>& report) {
    ProductGroup group = GetProductGroup(productID);
    if (group == ProductGroup::None || report.size() < MinimumButtonReportLength(group)) return false;
    switch (group) {
        case ProductGroup::G:
            return (ByteAt(report, 0) & 0x01) != 0 && (ByteAt(report, 1) & 0x01) != 0;
        case ProductGroup::F:
            return (ByteAt(report, 1) & 0x80) != 0 && (ByteAt(report, 2) & 0x80) != 0;
        case ProductGroup::D:
        case ProductGroup::E:
            return true;
        case ProductGroup::B:
        case ProductGroup::C:
            return (ByteAt(report, 1) & 0x80) != 0;
        case ProductGroup::A:
            return ByteAt(report, 0) == 0;
        case ProductGroup::None:
            break;
    }
    return false;
}

void DecodeButtons(int32_t productID, const std::vector<char>& report, std::vector<char>& lastReport,
                   std::vector<int32_t>& codes) {
    codes.clear();
    ProductGroup group = GetProductGroup(productID);
    if (group == ProductGroup::None || report.size() < MinimumButtonReportLength(group)) return;
    if (lastReport.empty()) lastReport.assign(report.size(), 0);

    ButtonBitTable table = GetButtonBitTable(group);
    if (group != ProductGroup::G) {
        for (size_t i = 0; i < table.rowCount; ++i) {
            const ButtonBitRow& row = table.rows[i];
            if ((ByteAt(report, static_cast<size_t>(row.byteIndex)) & row.mask) != 0) {
                codes.push_back(row.buttonCode);
            }
        }
        return;
    }

    // A byte-8 position counts only while byte 7 is clear now and was clear in the previous
    // accepted report. lastReport may be shorter than this report when the device changed product;
    // missing bytes read as 0.
    const bool buttonByteClear = ByteAt(report, kSonicMicButtonByte) == 0 &&
                                 ByteAt(lastReport, kSonicMicButtonByte) == 0;
    for (size_t i = 0; i < table.rowCount; ++i) {
        const ButtonBitRow& row = table.rows[i];
        if (row.byteIndex != kSonicMicButtonByte && !buttonByteClear) continue;
        if (ByteAt(report, static_cast<size_t>(row.byteIndex)) == row.mask) {
            codes.push_back(row.buttonCode);
        }
    }
    lastReport = report;
}
