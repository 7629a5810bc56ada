// Fuzz target: input reports of every supported product through the report test and the decoding.
//
// Input: byte 0 picks the product (the eleven supported product ids in table order, then one that
// no table knows); the rest is a sequence of reports, each a length byte (taken modulo 81) and that
// many bytes (a length beyond the input takes what is left). The reports go in order through
// IsButtonReport and, when accepted, DecodeButtons with the device's lastReport kept between them,
// as a button device does.
//
// Besides crashes it checks what holds for every report: only hardware codes 1 to 8 and 11 to 16
// come out, at most 15 of them; a report the test refuses leaves lastReport as it was; the SonicMic
// keeps the accepted report as its lastReport; and bytes outside those a group tests and decodes
// change nothing (the same report with every other byte cleared gives the same answer).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <vector>

#include "ButtonDecoding.h"

namespace {

struct Product {
    int32_t id;
    std::set<size_t> bytesRead;  // bytes of the report test and the decoding rows
};

const Product kProducts[] = {
    {0x2512, {0, 1}},    {0x1878, {0, 1}},    {0x149A, {1, 8, 9}}, {0x0C1C, {1, 8, 9}},
    {0x14A4, {1, 8, 9}}, {0x091A, {1}},       {0x1844, {1}},       {0x184C, {1}},
    {0x0BB8, {1, 2, 3}}, {0x0213, {1, 2, 3}}, {0x0025, {0, 1, 7, 8}}, {0x4242, {}},
};

void Check(bool condition) {
    if (!condition) std::abort();
}

struct Outcome {
    bool accepted = false;
    std::vector<int32_t> codes;
    bool operator==(const Outcome& other) const { return accepted == other.accepted && codes == other.codes; }
};

Outcome Handle(int32_t product, const std::vector<char>& report, std::vector<char>& lastReport) {
    Outcome outcome;
    outcome.accepted = IsButtonReport(product, report);
    if (outcome.accepted) DecodeButtons(product, report, lastReport, outcome.codes);
    return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const Product& product = kProducts[data[0] % (sizeof kProducts / sizeof kProducts[0])];
    std::vector<char> lastReport, shadowLast;
    size_t at = 1;
    while (at < size) {
        size_t length = data[at++] % 81;
        if (length > size - at) length = size - at;
        const std::vector<char> report(data + at, data + at + length);
        at += length;

        // The same report with only the bytes the group reads, against a lastReport kept the same way.
        std::vector<char> only(report.size(), 0);
        for (size_t byte : product.bytesRead) {
            if (byte < report.size()) only[byte] = report[byte];
        }
        const std::vector<char> before = lastReport;
        const Outcome outcome = Handle(product.id, report, lastReport);
        const Outcome shadow = Handle(product.id, only, shadowLast);
        Check(outcome == shadow);

        Check(outcome.codes.size() <= 15);
        for (int32_t code : outcome.codes) Check((code >= 1 && code <= 8) || (code >= 11 && code <= 16));
        if (!outcome.accepted) Check(lastReport == before);
        if (outcome.accepted && product.id == 0x0025) Check(lastReport == report);
    }
    return 0;
}
