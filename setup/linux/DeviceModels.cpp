#include "DeviceModels.h"

#include <cstdio>

#include "SupportedDeviceTable.h"

namespace linuxsetup {

std::vector<DeviceModel> SupportedModels() {
    std::vector<DeviceModel> models;
    for (const SupportedDevice& row : SupportedDeviceTable) {
        bool seen = false;
        for (const DeviceModel& model : models)
            seen = seen || (model.vendorID == row.vendorID && model.productID == row.productID);
        if (!seen)
            models.push_back({static_cast<uint16_t>(row.vendorID), static_cast<uint16_t>(row.productID), row.name});
    }
    return models;
}

std::string HexId(uint16_t id) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", static_cast<unsigned>(id));
    return text;
}

}  // namespace linuxsetup
