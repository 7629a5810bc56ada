// The devices the simulated bus can plug.
#pragma once

#include <cstdint>

namespace simbus {

struct CatalogueInterface {
    uint16_t usagePage, usage;
    int inputLength, outputLength;
    // The USB interface the HID interface sits on: class, subclass, protocol; -1 where the
    // platform would not show the value.
    int usbClass, usbSubClass, usbProtocol;
};

struct CatalogueModel {
    const char* key;
    const char* name;
    uint16_t vendorID, productID, versionNumber;
    bool supported;
    int interfaceCount;
    CatalogueInterface interfaces[3];  // the main interface first
};

int CatalogueCount();
const CatalogueModel* CatalogueAt(int index);
const CatalogueModel* CatalogueFind(const char* key);

}  // namespace simbus
