// The product groups: models that share one report decoding, report test and LED report layout.
// The group depends on the USB product id alone, never on the vendor id.
#pragma once

#include <cstdint>

enum class ProductGroup {
    None,  // a product no table knows
    A,     // 0x2512, 0x1878: SpeechMike I Pro, SpeechMike 6264 Slider
    B,     // 0x149A, 0x0C1C, 0x14A4: SpeechMike II Pro, III, Pro with Barcode Scanner
    C,     // 0x0BB8: SpeechMike Air
    D,     // 0x091A: Footswitch
    E,     // 0x1844, 0x184C: Footswitch LFH 0210/90B and -OLD
    F,     // 0x0213: Gamepad
    G,     // 0x0025: SonicMic II Classic
};

ProductGroup GetProductGroup(int32_t productID);
