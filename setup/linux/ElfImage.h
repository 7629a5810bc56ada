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

// The machine of this system's userland: the kernel's (uname), or the one this program was built
// for when uname names none of the four above or when it is the 32-bit program of a 64-bit kernel
// of the same family (an armhf userland on an aarch64 kernel, i386 on x86-64).
ElfMachine HostMachine();
// The same from the kernel's machine name and the machine this program was built for.
ElfMachine UserlandMachine(const std::string& kernelMachine, const ElfMachine& builtFor);
// "x86-64", "aarch64", "i386", "arm", or "machine 0x1234".
std::string MachineName(uint16_t machine);

// Reads at most the ELF header and program headers of the file's first bytes. True when they are
// a little-endian ELF image of the given machine and class, of type ET_DYN, without an interpreter
// (a position-independent program has one; a library does not). Otherwise `why` says what it is.
bool IsSharedObjectFor(const std::string& bytes, const ElfMachine& machine, std::string& why);

}  // namespace linuxsetup
