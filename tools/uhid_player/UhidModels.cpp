#include "UhidModels.h"

namespace uhidplayer {

namespace {

using Bytes = std::vector<uint8_t>;

void Append(Bytes& out, std::initializer_list<uint8_t> bytes) { out.insert(out.end(), bytes); }

// A short item with a 1- or 2-byte value, whichever the value needs.
// Item prefixes (tag and type; the size bits are added by Item).
constexpr uint8_t kLogicalMax = 0x24;

// A logical maximum above 0x7F takes two bytes, so that no parser can read it as negative.
void Item(Bytes& out, uint8_t prefix, unsigned value) {
    if (value <= 0x7F || (value <= 0xFF && prefix != kLogicalMax)) {
        Append(out, {static_cast<uint8_t>(prefix | 1), static_cast<uint8_t>(value)});
    } else {
        Append(out, {static_cast<uint8_t>(prefix | 2), static_cast<uint8_t>(value & 0xFF),
                     static_cast<uint8_t>(value >> 8)});
    }
}

constexpr uint8_t kUsagePage = 0x04, kUsage = 0x08, kLogicalMin = 0x14, kReportSize = 0x74,
                  kReportId = 0x84, kReportCount = 0x94, kUsageMin = 0x18, kUsageMax = 0x28, kCollection = 0xA0,
                  kInput = 0x80, kOutput = 0x90;
constexpr uint8_t kEndCollection = 0xC0;
constexpr unsigned kDataVarAbs = 0x02, kConstant = 0x01;

// `count` bytes of vendor data as one main item (Input or Output).
void VendorBytes(Bytes& out, uint8_t main, unsigned usage, unsigned count) {
    Item(out, kUsage, usage);
    Item(out, kLogicalMin, 0);
    Item(out, kLogicalMax, 0xFF);
    Item(out, kReportSize, 8);
    Item(out, kReportCount, count);
    Item(out, main, kDataVarAbs);
}

UhidInterface Interface(uint16_t page, uint16_t usage, uint8_t reportId, unsigned in, unsigned out, Bytes body) {
    UhidInterface i;
    i.usagePage = page;
    i.usage = usage;
    i.reportId = reportId;
    i.inputLength = in;
    i.outputLength = out;
    Item(i.descriptor, kUsagePage, page);
    Item(i.descriptor, kUsage, usage);
    Item(i.descriptor, kCollection, 0x01);  // Application
    if (reportId) Item(i.descriptor, kReportId, reportId);
    i.descriptor.insert(i.descriptor.end(), body.begin(), body.end());
    i.descriptor.push_back(kEndCollection);
    return i;
}

// Input: one byte of 8 buttons, then vendor bytes to fill the report; output: vendor bytes.
Bytes ButtonsThenVendor(unsigned inputData, unsigned outputData) {
    Bytes b;
    Item(b, kUsagePage, 0x09);  // Button
    Item(b, kUsageMin, 1);
    Item(b, kUsageMax, 8);
    Item(b, kLogicalMin, 0);
    Item(b, kLogicalMax, 1);
    Item(b, kReportSize, 1);
    Item(b, kReportCount, 8);
    Item(b, kInput, kDataVarAbs);
    Item(b, kUsagePage, 0xFF00);
    if (inputData > 1) VendorBytes(b, kInput, 0x01, inputData - 1);
    if (outputData) VendorBytes(b, kOutput, 0x02, outputData);
    return b;
}

Bytes VendorOnly(unsigned inputData, unsigned outputData) {
    Bytes b;
    if (inputData) VendorBytes(b, kInput, 0x01, inputData);
    if (outputData) VendorBytes(b, kOutput, 0x02, outputData);
    return b;
}

// A game pad: X and Y axes (centre 0x80), a vendor byte, 8 buttons, three padding bytes.
Bytes GamePad() {
    Bytes b;
    Item(b, kUsagePage, 0x01);
    Item(b, kUsage, 0x30);  // X
    Item(b, kUsage, 0x31);  // Y
    Item(b, kLogicalMin, 0);
    Item(b, kLogicalMax, 0xFF);
    Item(b, kReportSize, 8);
    Item(b, kReportCount, 2);
    Item(b, kInput, kDataVarAbs);
    Item(b, kUsagePage, 0x09);
    Item(b, kUsageMin, 1);
    Item(b, kUsageMax, 8);
    Item(b, kLogicalMax, 1);
    Item(b, kReportSize, 1);
    Item(b, kReportCount, 8);
    Item(b, kInput, kDataVarAbs);
    Item(b, kReportSize, 8);
    Item(b, kReportCount, 4);
    Item(b, kInput, kConstant);
    return b;
}

// The boot keyboard: modifiers, a reserved byte, six key codes; the five LEDs as output.
Bytes Keyboard() {
    Bytes b;
    Item(b, kUsagePage, 0x07);
    Item(b, kUsageMin, 0xE0);
    Item(b, kUsageMax, 0xE7);
    Item(b, kLogicalMin, 0);
    Item(b, kLogicalMax, 1);
    Item(b, kReportSize, 1);
    Item(b, kReportCount, 8);
    Item(b, kInput, kDataVarAbs);
    Item(b, kReportSize, 8);
    Item(b, kReportCount, 1);
    Item(b, kInput, kConstant);
    Item(b, kUsagePage, 0x08);  // LEDs
    Item(b, kUsageMin, 1);
    Item(b, kUsageMax, 5);
    Item(b, kReportSize, 1);
    Item(b, kReportCount, 5);
    Item(b, kOutput, kDataVarAbs);
    Item(b, kReportSize, 3);
    Item(b, kReportCount, 1);
    Item(b, kOutput, kConstant);
    Item(b, kUsagePage, 0x07);
    Item(b, kUsageMin, 0);
    Item(b, kUsageMax, 0xFF);
    Item(b, kLogicalMax, 0xFF);
    Item(b, kReportSize, 8);
    Item(b, kReportCount, 6);
    Item(b, kInput, 0x00);  // Data, Array
    return b;
}

// The boot mouse with a wheel: three buttons and padding, X, Y, wheel.
Bytes Mouse() {
    Bytes b;
    Item(b, kUsage, 0x01);        // Pointer
    Item(b, kCollection, 0x00);   // Physical
    Item(b, kUsagePage, 0x09);
    Item(b, kUsageMin, 1);
    Item(b, kUsageMax, 3);
    Item(b, kLogicalMin, 0);
    Item(b, kLogicalMax, 1);
    Item(b, kReportSize, 1);
    Item(b, kReportCount, 3);
    Item(b, kInput, kDataVarAbs);
    Item(b, kReportSize, 5);
    Item(b, kReportCount, 1);
    Item(b, kInput, kConstant);
    Item(b, kUsagePage, 0x01);
    Item(b, kUsage, 0x30);
    Item(b, kUsage, 0x31);
    Item(b, kUsage, 0x38);
    Item(b, kLogicalMin, 0x81);   // -127
    Item(b, kLogicalMax, 0x7F);
    Item(b, kReportSize, 8);
    Item(b, kReportCount, 3);
    Item(b, kInput, 0x06);        // Data, Var, Rel
    b.push_back(kEndCollection);
    return b;
}

constexpr uint16_t kConsumer = 0x0C, kDesktop = 0x01, kVendorPage = 0xFFA0;

// Reports without a report id carry one byte less on the wire than Windows counts; with one, the
// id is the first of the counted bytes as well. Either way the data is length - 1 bytes.
std::vector<UhidModel> MakeModels() {
    const auto handsetA = [] { return Interface(kConsumer, 0x01, 0, 3, 2, ButtonsThenVendor(2, 1)); };
    const auto handsetB = [](uint8_t id) { return Interface(kVendorPage, 0x01, id, 10, 10, VendorOnly(9, 9)); };
    const auto footswitch = [](uint8_t id) { return Interface(kDesktop, 0x04, id, 2, 0, ButtonsThenVendor(1, 0)); };
    return {
        {"SpeechMikeIPro", "Philips SpeechMike I Pro", 0x0911, 0x2512, 0x0100, true, {handsetA()}},
        {"SpeechMike6264Slider", "Philips SpeechMike 6264 Slider", 0x0911, 0x1878, 0x0100, true, {handsetA()}},
        {"SpeechMikeIIPro", "Philips SpeechMike II Pro", 0x0911, 0x149A, 0x0200, true, {handsetB(0)}},
        {"SpeechMikeIII", "Philips SpeechMike III", 0x0911, 0x0C1C, 0x0300, true,
         {handsetB(0), Interface(kDesktop, 0x06, 0, 9, 2, Keyboard()), Interface(kDesktop, 0x02, 0, 5, 0, Mouse())}},
        {"SpeechMikeProBarcode", "Philips SpeechMike Pro with Barcode Scanner", 0x0911, 0x14A4, 0x0210, true,
         {handsetB(0)}},
        {"Footswitch", "Philips Footswitch", 0x0911, 0x091A, 0x0100, true, {footswitch(0)}},
        // Numbered reports: the report id comes first on the wire and must reach the decoder as byte 0.
        {"FootswitchLFH0210", "Philips Footswitch LFH 0210/90B", 0x0911, 0x1844, 0x0200, true, {footswitch(1)}},
        {"FootswitchLFH0210Old", "Philips Footswitch LFH 0210/90B-OLD", 0x0911, 0x184C, 0x0100, true,
         {footswitch(0)}},
        {"SpeechMikeAir", "Philips SpeechMike Air", 0x0911, 0x0BB8, 0x0110, true,
         {Interface(kVendorPage, 0x01, 0, 65, 65, VendorOnly(64, 64))}},
        {"FirestormGamepad", "Thrustmaster Firestorm Digital 3 Gamepad", 0x07B5, 0x0213, 0x0100, true,
         {Interface(kDesktop, 0x05, 0, 8, 0, GamePad())}},
        // The SonicMic's reports are numbered (report id 1, which its button test reads).
        {"SonicMicIIClassic", "Grundig Digta SonicMic II Classic", 0x15D8, 0x0025, 0x0100, true,
         {Interface(kVendorPage, 0x01, 1, 9, 64, VendorOnly(8, 63))}},
        {"PlainMouse", "Optical USB Mouse", 0x046D, 0xC077, 0x7200, false,
         {Interface(kDesktop, 0x02, 0, 5, 0, Mouse())}},
    };
}

}  // namespace

const std::vector<UhidModel>& UhidModels() {
    static const std::vector<UhidModel> models = MakeModels();
    return models;
}

const UhidModel* FindUhidModel(const std::string& key) {
    for (const UhidModel& model : UhidModels()) {
        if (key == model.key) return &model;
    }
    return nullptr;
}

UhidInterface VendorInterface(uint16_t usagePage, uint16_t usage, uint8_t reportId, unsigned inputLength,
                              unsigned outputLength) {
    return Interface(usagePage, usage, reportId, inputLength, outputLength,
                     VendorOnly(inputLength > 0 ? inputLength - 1 : 0, outputLength > 0 ? outputLength - 1 : 0));
}

}  // namespace uhidplayer
