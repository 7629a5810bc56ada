#include "ReportDescriptor.h"

#include <array>

namespace hidraw {

namespace {

// Limits of the kernel's HID parser: deeper or larger descriptors are refused there as well.
constexpr int kMaxGlobalStack = 4;             // HID_GLOBAL_STACK_SIZE
constexpr int kMaxCollectionDepth = 64;
constexpr uint32_t kMaxReportSize = 256;        // bits of one field
constexpr uint32_t kMaxReportCount = 12288;     // HID_MAX_USAGES

enum ItemType { kMain = 0, kGlobal = 1, kLocal = 2 };
enum MainTag { kInput = 0x8, kOutput = 0x9, kCollection = 0xA, kFeature = 0xB, kEndCollection = 0xC };
enum GlobalTag { kUsagePage = 0x0, kReportSize = 0x7, kReportId = 0x8, kReportCount = 0x9, kPush = 0xA, kPop = 0xB };
enum LocalTag { kUsage = 0x0, kUsageMinimum = 0x1 };

struct GlobalState {
    uint32_t usagePage = 0;
    uint32_t reportSize = 0;
    uint32_t reportCount = 0;
    uint32_t reportId = 0;
};

// The first usage named since the last main item (Usage, or Usage Minimum when no Usage came).
struct LocalState {
    bool hasUsage = false;
    uint32_t usage = 0;
    bool extended = false;  // a 4-byte usage carries its own page in the upper 16 bits
};

// Bits per report id and direction of the first top-level collection.
struct ReportBits {
    std::array<uint32_t, 256> input{};
    std::array<uint32_t, 256> output{};
};

uint16_t ByteLength(const std::array<uint32_t, 256>& bits) {
    uint32_t longest = 0;
    bool any = false;
    for (uint32_t count : bits) {
        if (count == 0) continue;
        any = true;
        if (count > longest) longest = count;
    }
    if (!any) return 0;
    return static_cast<uint16_t>((longest + 7) / 8 + 1);
}

}  // namespace

bool ParseReportDescriptor(const uint8_t* data, size_t size, ReportDescriptorSummary& summary) {
    summary = ReportDescriptorSummary();
    if (data == nullptr || size == 0 || size > kMaxDescriptorSize) return false;

    GlobalState global;
    std::array<GlobalState, kMaxGlobalStack> stack;
    int stackDepth = 0;
    LocalState local;
    ReportBits bits;
    int depth = 0;
    bool topLevelSeen = false;
    bool inFirstTopLevel = false;

    size_t at = 0;
    while (at < size) {
        const uint8_t prefix = data[at];
        if (prefix == 0xFE) {
            // A long item: its data size follows, then its tag. None is defined; skipped whole.
            if (size - at < 3) return false;
            const size_t length = data[at + 1];
            if (size - at - 3 < length) return false;
            at += 3 + length;
            continue;
        }
        static const size_t kSizes[4] = {0, 1, 2, 4};
        const size_t length = kSizes[prefix & 0x3];
        const int type = (prefix >> 2) & 0x3;
        const int tag = prefix >> 4;
        if (size - at - 1 < length) return false;
        uint32_t value = 0;
        for (size_t i = 0; i < length; ++i) value |= static_cast<uint32_t>(data[at + 1 + i]) << (8 * i);
        at += 1 + length;

        if (type == kGlobal) {
            switch (tag) {
                case kUsagePage: global.usagePage = value; break;
                case kReportSize:
                    if (value > kMaxReportSize) return false;
                    global.reportSize = value;
                    break;
                case kReportCount:
                    if (value > kMaxReportCount) return false;
                    global.reportCount = value;
                    break;
                case kReportId:
                    if (value == 0 || value > 255) return false;
                    global.reportId = value;
                    break;
                case kPush:
                    if (stackDepth == kMaxGlobalStack) return false;
                    stack[stackDepth++] = global;
                    break;
                case kPop:
                    if (stackDepth == 0) return false;
                    global = stack[--stackDepth];
                    break;
                default: break;  // logical and physical ranges, units: not needed here
            }
        } else if (type == kLocal) {
            if ((tag == kUsage || tag == kUsageMinimum) && !local.hasUsage) {
                local.hasUsage = true;
                local.usage = value;
                local.extended = length == 4;
            }
        } else if (type == kMain) {
            switch (tag) {
                case kCollection:
                    if (depth == kMaxCollectionDepth) return false;
                    if (depth == 0) {
                        inFirstTopLevel = !topLevelSeen;
                        if (!topLevelSeen) {
                            topLevelSeen = true;
                            const uint32_t usage = local.hasUsage ? local.usage : 0;
                            summary.usagePage = static_cast<uint16_t>(local.extended ? usage >> 16 : global.usagePage);
                            summary.usage = static_cast<uint16_t>(usage & 0xFFFF);
                        }
                    }
                    ++depth;
                    break;
                case kEndCollection:
                    if (depth == 0) return false;
                    if (--depth == 0) inFirstTopLevel = false;
                    break;
                case kInput:
                case kOutput:
                case kFeature: {
                    const uint32_t fieldBits = global.reportSize * global.reportCount;  // at most 256 * 12288
                    if (tag == kInput && global.reportId != 0) summary.numberedInputReports = true;
                    if (!inFirstTopLevel || tag == kFeature) break;
                    uint32_t& total = tag == kInput ? bits.input[global.reportId] : bits.output[global.reportId];
                    if (total + static_cast<uint64_t>(fieldBits) > (kMaxReportBytes - 1) * 8ull) return false;
                    total += fieldBits;
                    if (tag == kInput && fieldBits != 0) summary.inputReportIds.set(global.reportId);
                    break;
                }
                default: break;
            }
            local = LocalState();
        }
        // Items of the reserved type are skipped.
    }
    if (depth != 0 || !topLevelSeen) return false;
    summary.inputReportByteLength = ByteLength(bits.input);
    summary.outputReportByteLength = ByteLength(bits.output);
    return true;
}

}  // namespace hidraw
