// The LEDs the device check offers per model, checked against the LED reports they produce: each
// offered LED must change the model's report, and "all off" must give the report with no LED lit.
#include <gtest/gtest.h>

#include "LEDChoices.h"
#include "LEDReport.h"

namespace {

TEST(LEDChoicesTest, HandSetsOfferTheirLEDsAndFootSwitchesNone) {
    EXPECT_EQ((std::vector<int32_t>{0, 2, 4}), GetLEDChoices(0x0911, 0x2512).leds);
    EXPECT_EQ((std::vector<int32_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}), GetLEDChoices(0x0911, 0x0C1C).leds);
    EXPECT_EQ((std::vector<int32_t>{2, 3, 4, 5, 6, 7, 8}), GetLEDChoices(0x0911, 0x0BB8).leds);
    EXPECT_EQ((std::vector<int32_t>{2}), GetLEDChoices(0x15D8, 0x0025).leds);
    for (int32_t product : {0x091A, 0x1844, 0x184C}) {
        EXPECT_TRUE(GetLEDChoices(0x0911, product).leds.empty()) << product;
        EXPECT_TRUE(GetLEDChoices(0x0911, product).allOff.empty()) << product;
    }
    EXPECT_TRUE(GetLEDChoices(0x07B5, 0x0213).leds.empty());
    // A hand-set's product id under another vendor gets no LED report from the driver.
    EXPECT_TRUE(GetLEDChoices(0x1234, 0x0C1C).leds.empty());
}

TEST(LEDChoicesTest, EveryOfferedLEDLightsSomethingAndAllOffMatchesTheStartingReport) {
    struct Model {
        int32_t vendorID, productID;
        std::vector<char> allOff;  // the model's report with no LED lit
    };
    const std::vector<char> b(10, 0), c(65, 0);
    std::vector<char> bOff = b, cOff = c, gOff(64, 0);
    bOff[1] = 0x02;
    cOff[1] = 0x02;
    gOff[0] = 0x01, gOff[1] = 0x04, gOff[2] = 0x02, gOff[3] = 0x01;
    const Model models[] = {
        {0x0911, 0x2512, {0x00, 0x3F}},
        {0x0911, 0x0C1C, bOff},
        {0x0911, 0x0BB8, cOff},
        {0x15D8, 0x0025, gOff},
    };
    for (const Model& model : models) {
        const LEDChoices choices = GetLEDChoices(model.vendorID, model.productID);
        EXPECT_EQ(model.allOff, BuildLEDReport(model.productID, choices.allOff)) << model.productID;
        std::vector<std::vector<char>> lit;
        for (int32_t led : choices.leds) {
            LEDSetting on;
            on.led = led;
            on.value = kLEDOn;
            const std::vector<char> report = BuildLEDReport(model.productID, {on});
            EXPECT_NE(model.allOff, report) << model.productID << " LED " << led << " changes nothing";
            for (const std::vector<char>& other : lit) {
                EXPECT_NE(other, report) << model.productID << " LED " << led << " repeats another";
            }
            lit.push_back(report);
        }
    }
}

}  // namespace
