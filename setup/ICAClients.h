// The two kinds of machine-wide ICA Client a PC may have, and what differs between them: the
// registry view that holds their keys, where the setup program keeps the driver for them, and the
// machine type that driver must be built for. Key paths and value names are the same for both.
#pragma once

#include <cstdint>

#include "Registry.h"

namespace installer {

enum class ClientBitness { k32, k64 };

struct ClientTraits {
    ClientBitness bitness;
    RegistryView view;
    const char* sourceFolder;  // below the setup program's folder; "" for the program's folder itself
    uint16_t machine;          // PE machine type the driver must have
    const char* machineText;   // for the log: what a wrong file is not
    const char* name;          // "32-bit" or "64-bit"
};

inline const ClientTraits& Traits(ClientBitness bitness) {
    static const ClientTraits kClient32 = {ClientBitness::k32, RegistryView::k32Bit, "", 0x014C,
                                           "32-bit (i386)", "32-bit"};
    static const ClientTraits kClient64 = {ClientBitness::k64, RegistryView::k64Bit, "x64", 0x8664,
                                           "64-bit (x86-64)", "64-bit"};
    return bitness == ClientBitness::k64 ? kClient64 : kClient32;
}

}  // namespace installer
