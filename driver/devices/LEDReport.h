// The LED output reports of the hand-sets.
#pragma once

#include <cstdint>
#include <list>
#include <vector>

#include "USBButtonDeviceDescriptor.h"

// Applies one setting to the LED report of the product's group. An empty report is first sized to
// the group's length (2, 10, 65 or 64 bytes) and given its starting bytes; a report of the right
// size only receives the setting. Foot switches, the game pad and unknown products leave the report
// as it is (empty).
void ApplyLEDSetting(int32_t productID, const LEDSetting& setting, std::vector<char>& report);

// The report of one call: built from scratch, every setting applied in order. Empty when the
// product has no LED report or the list is empty.
std::vector<char> BuildLEDReport(int32_t productID, const std::list<LEDSetting>& settings);

// Whether LED reports are sent to a device of these ids: the Philips and Grundig hand-sets.
bool SendsLEDReports(int32_t vendorID, int32_t productID);
