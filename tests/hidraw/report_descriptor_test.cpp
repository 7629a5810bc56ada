// The report descriptor parser against literal descriptors: the lengths expected are those Windows
// reports for such a collection (largest report in bytes plus the report-id byte).
#include <gtest/gtest.h>

#include <vector>

#include "ReportDescriptor.h"

using hidraw::ParseReportDescriptor;
using hidraw::ReportDescriptorSummary;

namespace {

using Bytes = std::vector<uint8_t>;

bool Parse(const Bytes& d, ReportDescriptorSummary& s) { return ParseReportDescriptor(d.data(), d.size(), s); }

// A SpeechMike III-shaped vendor collection without report ids: 9 data bytes in, 9 out.
const Bytes kVendorUnnumbered = {
    0x06, 0xA0, 0xFF,  // Usage Page (vendor 0xFFA0)
    0x09, 0x01,        // Usage (1)
    0xA1, 0x01,        // Collection (Application)
    0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08,
    0x95, 0x09, 0x09, 0x02, 0x81, 0x02,  // 9 x 8 bits Input
    0x95, 0x09, 0x09, 0x03, 0x91, 0x02,  // 9 x 8 bits Output
    0xC0};

// The same with numbered reports: id 1 (8 bytes in), id 2 (3 bytes in), id 3 (9 bytes out), and a
// feature report that HIDP_CAPS counts elsewhere.
const Bytes kVendorNumbered = {
    0x06, 0xA0, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x08,
    0x85, 0x01, 0x95, 0x08, 0x09, 0x02, 0x81, 0x02,
    0x85, 0x02, 0x95, 0x03, 0x09, 0x02, 0x81, 0x02,
    0x85, 0x03, 0x95, 0x09, 0x09, 0x03, 0x91, 0x02,
    0x85, 0x04, 0x95, 0x40, 0x09, 0x04, 0xB1, 0x02,
    0xC0};

// The boot keyboard of the HID class definition.
const Bytes kKeyboard = {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00,
                         0x25, 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x95, 0x01, 0x75, 0x08, 0x81, 0x01,
                         0x95, 0x05, 0x75, 0x01, 0x05, 0x08, 0x19, 0x01, 0x29, 0x05, 0x91, 0x02, 0x95, 0x01,
                         0x75, 0x03, 0x91, 0x01, 0x95, 0x06, 0x75, 0x08, 0x15, 0x00, 0x25, 0x65, 0x05, 0x07,
                         0x19, 0x00, 0x29, 0x65, 0x81, 0x00, 0xC0};

// The boot mouse: a pointer collection inside the mouse collection.
const Bytes kMouse = {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x09, 0x01, 0xA1, 0x00, 0x05, 0x09, 0x19, 0x01,
                      0x29, 0x03, 0x15, 0x00, 0x25, 0x01, 0x95, 0x03, 0x75, 0x01, 0x81, 0x02, 0x95, 0x01,
                      0x75, 0x05, 0x81, 0x01, 0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x15, 0x81, 0x25, 0x7F,
                      0x75, 0x08, 0x95, 0x02, 0x81, 0x06, 0xC0, 0xC0};

}  // namespace

TEST(ReportDescriptor, VendorCollectionWithoutReportIds) {
    ReportDescriptorSummary s;
    ASSERT_TRUE(Parse(kVendorUnnumbered, s));
    EXPECT_EQ(0xFFA0, s.usagePage);
    EXPECT_EQ(0x01, s.usage);
    EXPECT_EQ(10, s.inputReportByteLength);
    EXPECT_EQ(10, s.outputReportByteLength);
    EXPECT_FALSE(s.numberedInputReports);
    EXPECT_TRUE(s.inputReportIds.test(0));
    EXPECT_EQ(1u, s.inputReportIds.count());
}

TEST(ReportDescriptor, NumberedReportsCountTheLongestOfEachDirection) {
    ReportDescriptorSummary s;
    ASSERT_TRUE(Parse(kVendorNumbered, s));
    EXPECT_EQ(9, s.inputReportByteLength);
    EXPECT_EQ(10, s.outputReportByteLength);
    EXPECT_TRUE(s.numberedInputReports);
    EXPECT_TRUE(s.inputReportIds.test(1));
    EXPECT_TRUE(s.inputReportIds.test(2));
    EXPECT_FALSE(s.inputReportIds.test(3));  // an output report
    EXPECT_FALSE(s.inputReportIds.test(4));  // a feature report
}

TEST(ReportDescriptor, KeyboardAndMouse) {
    ReportDescriptorSummary s;
    ASSERT_TRUE(Parse(kKeyboard, s));
    EXPECT_EQ(0x01, s.usagePage);
    EXPECT_EQ(0x06, s.usage);
    EXPECT_EQ(9, s.inputReportByteLength);
    EXPECT_EQ(2, s.outputReportByteLength);  // 5 LED bits and 3 padding bits
    ASSERT_TRUE(Parse(kMouse, s));
    EXPECT_EQ(0x01, s.usagePage);
    EXPECT_EQ(0x02, s.usage);  // the top-level usage, not the nested pointer
    EXPECT_EQ(4, s.inputReportByteLength);
    EXPECT_EQ(0, s.outputReportByteLength);
}

TEST(ReportDescriptor, ExtendedUsageCarriesItsPage) {
    // Usage (Consumer Control as a 4-byte usage) while the global page is Generic Desktop.
    const Bytes d = {0x05, 0x01, 0x0B, 0x01, 0x00, 0x0C, 0x00, 0xA1, 0x01, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02, 0xC0};
    ReportDescriptorSummary s;
    ASSERT_TRUE(Parse(d, s));
    EXPECT_EQ(0x0C, s.usagePage);
    EXPECT_EQ(0x01, s.usage);
    EXPECT_EQ(2, s.inputReportByteLength);
}

TEST(ReportDescriptor, OnlyTheFirstTopLevelCollectionCounts) {
    // A keyboard collection (id 1, 8 bytes) followed by a consumer collection (id 2, 20 bytes).
    const Bytes d = {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x85, 0x01, 0x75, 0x08, 0x95, 0x08, 0x81, 0x02, 0xC0,
                     0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x02, 0x75, 0x08, 0x95, 0x14, 0x81, 0x02, 0xC0};
    ReportDescriptorSummary s;
    ASSERT_TRUE(Parse(d, s));
    EXPECT_EQ(0x06, s.usage);
    EXPECT_EQ(9, s.inputReportByteLength);
    EXPECT_TRUE(s.inputReportIds.test(1));
    EXPECT_FALSE(s.inputReportIds.test(2));
}

TEST(ReportDescriptor, PushPopAndLongItemsAreFollowed) {
    // Report size 8 pushed, changed to 1, popped back before the input; a long item in between.
    const Bytes d = {0x06, 0xA0, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x08, 0xA4, 0x75, 0x01, 0xFE, 0x02, 0x10,
                     0xAA, 0xBB, 0xB4, 0x95, 0x04, 0x81, 0x02, 0xC0};
    ReportDescriptorSummary s;
    ASSERT_TRUE(Parse(d, s));
    EXPECT_EQ(5, s.inputReportByteLength);
}

TEST(ReportDescriptor, MalformedDescriptorsAreRefused) {
    const std::vector<Bytes> refused = {
        {},                                                   // empty
        {0x06, 0xA0},                                         // item cut short
        {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01},                 // collection never ended
        {0x05, 0x01, 0x09, 0x06, 0xC0},                       // end without a collection
        {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x85, 0x00, 0xC0},  // report id 0
        {0x05, 0x01, 0xB4, 0x09, 0x06, 0xA1, 0x01, 0xC0},     // pop without push
        {0x05, 0x01, 0xA4, 0xA4, 0xA4, 0xA4, 0xA4, 0xA1, 0x01, 0xC0},  // push beyond the stack
        {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x96, 0x01, 0x30, 0xC0},  // report count 12289
        {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x76, 0x01, 0x01, 0xC0},  // report size 257
        {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0xFE, 0x05, 0x10, 0x01},  // long item cut short
        {0x05, 0x01, 0x09, 0x06, 0x81, 0x02},                 // no collection at all
    };
    for (size_t i = 0; i < refused.size(); ++i) {
        ReportDescriptorSummary s;
        EXPECT_FALSE(Parse(refused[i], s)) << "descriptor " << i;
    }
}

TEST(ReportDescriptor, HugeDescriptorsAndReportsAreRefused) {
    // Longer than the kernel hands out.
    Bytes tooLong(4097, 0x00);
    ReportDescriptorSummary s;
    EXPECT_FALSE(Parse(tooLong, s));
    // One report of 16384 data bytes: with its report-id byte longer than a HID report can be.
    Bytes big = {0x06, 0xA0, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x08};
    for (int i = 0; i < 2; ++i) big.insert(big.end(), {0x96, 0x00, 0x20, 0x81, 0x02});  // 2 x 8192 bytes
    big.push_back(0xC0);
    EXPECT_FALSE(Parse(big, s));
    // 16383 data bytes fit exactly.
    Bytes fits = {0x06, 0xA0, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x08, 0x96, 0x00, 0x20, 0x81, 0x02,
                  0x96, 0xFF, 0x1F, 0x81, 0x02, 0xC0};
    ASSERT_TRUE(Parse(fits, s));
    EXPECT_EQ(16384, s.inputReportByteLength);
    // 65 nested collections.
    Bytes deep = {0x05, 0x01, 0x09, 0x06};
    for (int i = 0; i < 65; ++i) deep.insert(deep.end(), {0xA1, 0x01});
    for (int i = 0; i < 65; ++i) deep.push_back(0xC0);
    EXPECT_FALSE(Parse(deep, s));
    deep.erase(deep.begin() + 4, deep.begin() + 6);
    deep.pop_back();
    EXPECT_TRUE(Parse(deep, s));  // 64 levels are accepted
}
