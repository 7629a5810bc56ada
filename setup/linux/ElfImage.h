// Whether a file is an ELF shared object that the ICA Client of this machine can load.
#pragma once

#include <cstdint>
#include <string>

namespace linuxsetup {

constexpr uint16_t kElfMachineI386 = 3;
constexpr uint16_t kElfMachineArm = 40;
constexpr uint16_t kElfMachineX8664 = 62;
constexpr uint16_t kElfMachineAArch64 = 183;

struct ElfMachine {
    uint16_t machine;  // e_machine
    bool is64;         // ELFCLASS64
    const char* name;  // "x86-64"
};

// The machine this program runs on (uname), or the one it was built for when uname names none
// of the four above.
ElfMachine HostMachine();
// "x86-64", "aarch64", "i386", "arm", or "machine 0x1234".
std::string MachineName(uint16_t machine);

// Reads at most the ELF header and program headers of the file's first bytes. True when they are
// a little-endian ELF image of the given machine and class, of type ET_DYN, without an interpreter
// (a position-independent program has one; a library does not). Otherwise `why` says what it is.
bool IsSharedObjectFor(const std::string& bytes, const ElfMachine& machine, std::string& why);

}  // namespace linuxsetup
