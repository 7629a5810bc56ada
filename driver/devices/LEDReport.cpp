#include "LEDReport.h"

#include <initializer_list>

#include "ProductGroup.h"

namespace {

constexpr int32_t kAllLEDs = 11;

// Shifts and ORs work on 8-bit values: bits moved past bit 7 are lost.
uint8_t Shifted(int32_t value, int shift) {
    return static_cast<uint8_t>(static_cast<uint8_t>(value) << shift);
}

// value | value<<2 | value<<4 | value<<6, in 8 bits.
uint8_t Pattern(int32_t value) {
    return static_cast<uint8_t>(Shifted(value, 0) | Shifted(value, 2) | Shifted(value, 4) |
                                Shifted(value, 6));
}

void OrInto(std::vector<char>& report, size_t index, uint8_t bits) {
    report[index] = static_cast<char>(static_cast<uint8_t>(report[index]) | bits);
}

void Prepare(std::vector<char>& report, size_t length, std::initializer_list<uint8_t> start) {
    if (report.size() == length) return;
    report.assign(length, 0);
    size_t index = 0;
    for (uint8_t byte : start) report[index++] = static_cast<char>(byte);
}

// Two bytes from 00 3F; each setting clears bits of byte 1.
void ApplyGroupA(const LEDSetting& setting, std::vector<char>& report) {
    Prepare(report, 2, {0x00, 0x3F});
    uint8_t clear = 0;
    switch (setting.led) {
        case 0: case 1: clear = Shifted(setting.value, 0); break;
        case 2: case 3: clear = Shifted(setting.value, 2); break;
        case 4: case 5: clear = Shifted(setting.value, 4); break;
        case kAllLEDs:
            clear = static_cast<uint8_t>(Shifted(setting.value, 0) | Shifted(setting.value, 2) |
                                         Shifted(setting.value, 4));
            break;
        default: break;
    }
    report[1] = static_cast<char>(static_cast<uint8_t>(report[1]) & static_cast<uint8_t>(~clear));
}

// Ten bytes, 00 02 then zeros; settings OR into bytes 7 to 9.
void ApplyGroupB(const LEDSetting& setting, std::vector<char>& report) {
    Prepare(report, 10, {0x00, 0x02});
    const int32_t v = setting.value;
    switch (setting.led) {
        case 0: OrInto(report, 7, Shifted(v, 6)); break;
        case 1: OrInto(report, 7, Shifted(v, 4)); break;
        case 2: OrInto(report, 7, Shifted(v, 2)); break;
        case 3: OrInto(report, 7, Shifted(v, 0)); break;
        case 4: OrInto(report, 8, Shifted(v, 6)); break;
        case 5: OrInto(report, 8, Shifted(v, 4)); break;
        case 6: OrInto(report, 9, Shifted(v, 6)); break;
        case 7: OrInto(report, 9, Shifted(v, 4)); break;
        case 8: OrInto(report, 9, Shifted(v, 2)); break;
        case 9: OrInto(report, 9, Shifted(v, 0)); break;
        case kAllLEDs:
            report[7] = report[8] = report[9] = static_cast<char>(Pattern(v));
            break;
        default: break;
    }
}

// 65 bytes, 00 02 then zeros; settings OR into bytes 2 and 3, all LEDs set bytes 2 to 4.
void ApplyGroupC(const LEDSetting& setting, std::vector<char>& report) {
    Prepare(report, 65, {0x00, 0x02});
    const int32_t v = setting.value;
    switch (setting.led) {
        case 2: OrInto(report, 2, Shifted(v, 2)); break;
        case 3: OrInto(report, 2, Shifted(v, 0)); break;
        case 4: OrInto(report, 2, Shifted(v, 6)); break;
        case 5: OrInto(report, 2, Shifted(v, 4)); break;
        case 6: OrInto(report, 3, Shifted(v, 0)); break;
        case 7: OrInto(report, 3, Shifted(v, 2)); break;
        case 8: OrInto(report, 3, Shifted(v, 4)); break;
        case kAllLEDs:
            report[2] = report[3] = report[4] = static_cast<char>(Pattern(v));
            break;
        default: break;
    }
}

// 64 bytes, 01 04 02 then zeros; LEDs 2 and 3 both set byte 3 from the whole value.
void ApplyGroupG(const LEDSetting& setting, std::vector<char>& report) {
    Prepare(report, 64, {0x01, 0x04, 0x02});
    if (setting.led != 2 && setting.led != 3) return;
    switch (setting.value) {
        case 0: report[3] = 0x01; break;
        case 1: case 2: report[3] = 0x03; break;
        case 3: report[3] = 0x02; break;
        default: break;
    }
}

}  // namespace

void ApplyLEDSetting(int32_t productID, const LEDSetting& setting, std::vector<char>& report) {
    switch (GetProductGroup(productID)) {
        case ProductGroup::A: ApplyGroupA(setting, report); break;
        case ProductGroup::B: ApplyGroupB(setting, report); break;
        case ProductGroup::C: ApplyGroupC(setting, report); break;
        case ProductGroup::G: ApplyGroupG(setting, report); break;
        default: break;
    }
}

std::vector<char> BuildLEDReport(int32_t productID, const std::list<LEDSetting>& settings) {
    std::vector<char> report;
    for (const LEDSetting& setting : settings) ApplyLEDSetting(productID, setting, report);
    return report;
}

bool SendsLEDReports(int32_t vendorID, int32_t productID) {
    if (vendorID != 0x0911 && vendorID != 0x15D8) return false;
    switch (productID) {
        case 0x2512: case 0x1878: case 0x149A: case 0x14A4: case 0x0C1C: case 0x0BB8: case 0x0025:
            return true;
        default:
            return false;
    }
}
