// The models whose devices the installation keeps for the driver: one entry per vendor and product
// id pair of the driver's supported-device table, in table order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace linuxsetup {

struct DeviceModel {
    uint16_t vendorID;
    uint16_t productID;
    std::string name;
};

std::vector<DeviceModel> SupportedModels();

// "0911", "0c1c": four lower-case hexadecimal digits.
std::string HexId(uint16_t id);

}  // namespace linuxsetup
