#include "LEDChoices.h"

#include "LEDReport.h"
#include "ProductGroup.h"

namespace {

constexpr int32_t kAllLEDs = 11;

LEDSetting Setting(int32_t led, int32_t value) {
    LEDSetting setting;
    setting.led = led;
    setting.value = value;
    return setting;
}

}  // namespace

LEDChoices GetLEDChoices(int32_t vendorID, int32_t productID) {
    LEDChoices choices;
    // Only the hand-sets that are sent LED reports at all have LEDs to offer.
    if (!SendsLEDReports(vendorID, productID)) return choices;
    switch (GetProductGroup(productID)) {
    case ProductGroup::A:
        // 0 and 1, 2 and 3, 4 and 5 clear the same bits.
        choices.leds = {0, 2, 4};
        choices.allOff = {Setting(kAllLEDs, kLEDOff)};
        break;
    case ProductGroup::B:
        choices.leds = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
        choices.allOff = {Setting(kAllLEDs, kLEDOff)};
        break;
    case ProductGroup::C:
        choices.leds = {2, 3, 4, 5, 6, 7, 8};
        choices.allOff = {Setting(kAllLEDs, kLEDOff)};
        break;
    case ProductGroup::G:
        // The SonicMic has one LED state byte, set alike by 2 and 3; "all" changes nothing there.
        choices.leds = {2};
        choices.allOff = {Setting(2, kLEDOff)};
        break;
    default:
        break;
    }
    return choices;
}
