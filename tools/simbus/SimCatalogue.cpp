#include "SimCatalogue.h"

#include <cstring>

namespace simbus {

namespace {

// Usage pages and usages of the top-level collections.
constexpr uint16_t kConsumer = 0x0C, kDesktop = 0x01, kVendor = 0xFFA0;
constexpr uint16_t kConsumerControl = 0x01, kJoystick = 0x04, kGamePad = 0x05, kKeyboard = 0x06, kMouse = 0x02;

// Every interface is a USB HID interface (class 03): the hand-sets' keyboard and mouse interfaces
// are not boot devices (subclass 00), the plain mouse is one (subclass 01).
// Report lengths include the report-ID byte and cover every byte the driver's decoders read:
// SpeechMike I/6264 byte 1, SpeechMike II/III/Barcode bytes 8-9, Air bytes 2-3, foot switches
// byte 1, the game pad byte 3, the SonicMic bytes 7-8; output lengths are the LED reports.
const CatalogueModel kModels[] = {
    {"SpeechMikeIPro", "Philips SpeechMike I Pro", 0x0911, 0x2512, 0x0100, true, 1,
     {{kConsumer, kConsumerControl, 3, 2, 0x03, 0x00, 0x00}}},
    {"SpeechMike6264Slider", "Philips SpeechMike 6264 Slider", 0x0911, 0x1878, 0x0100, true, 1,
     {{kConsumer, kConsumerControl, 3, 2, 0x03, 0x00, 0x00}}},
    {"SpeechMikeIIPro", "Philips SpeechMike II Pro", 0x0911, 0x149A, 0x0200, true, 1,
     {{kVendor, 0x01, 10, 10, 0x03, 0x00, 0x00}}},
    // The hand-set also shows up as a keyboard and a mouse with the same ids; only the vendor
    // interface is the supported device.
    {"SpeechMikeIII", "Philips SpeechMike III", 0x0911, 0x0C1C, 0x0300, true, 3,
     {{kVendor, 0x01, 10, 10, 0x03, 0x00, 0x00},
      {kDesktop, kKeyboard, 9, 2, 0x03, 0x00, 0x01},
      {kDesktop, kMouse, 5, 0, 0x03, 0x00, 0x02}}},
    {"SpeechMikeProBarcode", "Philips SpeechMike Pro with Barcode Scanner", 0x0911, 0x14A4, 0x0210, true, 1,
     {{kVendor, 0x01, 10, 10, 0x03, 0x00, 0x00}}},
    {"Footswitch", "Philips Footswitch", 0x0911, 0x091A, 0x0100, true, 1,
     {{kDesktop, kJoystick, 2, 0, 0x03, 0x00, 0x00}}},
    {"FootswitchLFH0210", "Philips Footswitch LFH 0210/90B", 0x0911, 0x1844, 0x0200, true, 1,
     {{kDesktop, kJoystick, 2, 0, 0x03, 0x00, 0x00}}},
    {"FootswitchLFH0210Old", "Philips Footswitch LFH 0210/90B-OLD", 0x0911, 0x184C, 0x0100, true, 1,
     {{kDesktop, kJoystick, 2, 0, 0x03, 0x00, 0x00}}},
    {"SpeechMikeAir", "Philips SpeechMike Air", 0x0911, 0x0BB8, 0x0110, true, 1,
     {{kVendor, 0x01, 65, 65, 0x03, 0x00, 0x00}}},
    {"FirestormGamepad", "Thrustmaster Firestorm Digital 3 Gamepad", 0x07B5, 0x0213, 0x0100, true, 1,
     {{kDesktop, kGamePad, 8, 0, 0x03, 0x00, 0x00}}},
    {"SonicMicIIClassic", "Grundig Digta SonicMic II Classic", 0x15D8, 0x0025, 0x0100, true, 1,
     {{kVendor, 0x01, 9, 64, 0x03, 0x00, 0x00}}},
    // Not a device the driver serves.
    {"PlainMouse", "Optical USB Mouse", 0x046D, 0xC077, 0x7200, false, 1,
     {{kDesktop, kMouse, 5, 0, 0x03, 0x01, 0x02}}},
};

}  // namespace

int CatalogueCount() { return static_cast<int>(sizeof(kModels) / sizeof(kModels[0])); }

const CatalogueModel* CatalogueAt(int index) {
    if (index < 0 || index >= CatalogueCount()) return nullptr;
    return &kModels[index];
}

const CatalogueModel* CatalogueFind(const char* key) {
    if (!key) return nullptr;
    for (const CatalogueModel& model : kModels) {
        if (std::strcmp(model.key, key) == 0) return &model;
    }
    return nullptr;
}

}  // namespace simbus
