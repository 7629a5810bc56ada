// Which hardware button of a model a reported code came from. The button device reports codes
// after HardwareButtonMap.ini has renumbered them; the device check shows both, so it looks the
// reported code up among the codes the model's decoding can yield.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

// The hardware codes the product's decoding table yields, each once, in table order.
std::vector<int32_t> ModelButtonCodes(int32_t productID);

// The model's hardware codes that `map` turns into `reportedCode`, in table order. Usually one;
// several when the map sends two buttons to one code; none for a code the model cannot report.
std::vector<int32_t> HardwareCodesFor(int32_t productID, int32_t reportedCode,
                                      const std::function<int32_t(int32_t)>& map);
