#include "ElfImage.h"

#include <sys/utsname.h>

#include <cstdio>
#include <cstring>

namespace linuxsetup {

namespace {

constexpr uint16_t kTypeShared = 3;      // ET_DYN
constexpr uint32_t kSegmentInterp = 3;   // PT_INTERP
constexpr uint16_t kMaxProgramHeaders = 256;

uint64_t ReadLE(const std::string& bytes, size_t at, size_t width) {
    uint64_t value = 0;
    for (size_t i = 0; i < width; ++i)
        value |= static_cast<uint64_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    return value;
}

const ElfMachine kMachines[] = {
    {kElfMachineX8664, true, "x86-64"},
    {kElfMachineAArch64, true, "aarch64"},
    {kElfMachineI386, false, "i386"},
    {kElfMachineArm, false, "arm"},
};

ElfMachine BuiltFor() {
#if defined(__x86_64__)
    return kMachines[0];
#elif defined(__aarch64__)
    return kMachines[1];
#elif defined(__i386__)
    return kMachines[2];
#else
    return kMachines[3];
#endif
}

}  // namespace

ElfMachine UserlandMachine(const std::string& kernelMachine, const ElfMachine& builtFor) {
    ElfMachine kernel = builtFor;
    if (kernelMachine == "x86_64") kernel = kMachines[0];
    else if (kernelMachine == "aarch64" || kernelMachine == "arm64") kernel = kMachines[1];
    else if (kernelMachine.size() == 4 && kernelMachine[0] == 'i' && kernelMachine.compare(2, 2, "86") == 0)
        kernel = kMachines[2];
    else if (kernelMachine.compare(0, 3, "arm") == 0) kernel = kMachines[3];
    // A 64-bit kernel that runs this 32-bit program of its own processor family (Raspberry Pi OS
    // 32-bit on a Pi 4 or 5 boots a 64-bit kernel): the userland, and so its ICA Client, is 32-bit.
    const bool sameFamily = (kernel.machine == kElfMachineAArch64 && builtFor.machine == kElfMachineArm) ||
                            (kernel.machine == kElfMachineX8664 && builtFor.machine == kElfMachineI386);
    return sameFamily ? builtFor : kernel;
}

ElfMachine HostMachine() {
    utsname names{};
    return UserlandMachine(uname(&names) == 0 ? names.machine : "", BuiltFor());
}

std::string MachineName(uint16_t machine) {
    for (const ElfMachine& known : kMachines)
        if (known.machine == machine) return known.name;
    char text[32];
    std::snprintf(text, sizeof text, "machine 0x%04x", static_cast<unsigned>(machine));
    return text;
}

bool IsSharedObjectFor(const std::string& bytes, const ElfMachine& machine, std::string& why) {
    if (bytes.size() < 52 || std::memcmp(bytes.data(), "\x7f" "ELF", 4) != 0) {
        why = "not an ELF file";
        return false;
    }
    const int elfClass = static_cast<unsigned char>(bytes[4]);
    const bool is64 = elfClass == 2;
    if ((elfClass != 1 && elfClass != 2) || bytes[5] != 1 || (is64 && bytes.size() < 64)) {
        why = "an ELF file of an unknown class or byte order";
        return false;
    }
    const uint16_t type = static_cast<uint16_t>(ReadLE(bytes, 16, 2));
    const uint16_t fileMachine = static_cast<uint16_t>(ReadLE(bytes, 18, 2));
    if (fileMachine != machine.machine || is64 != machine.is64) {
        why = "an ELF file for " + MachineName(fileMachine) + (is64 ? " (64-bit)" : " (32-bit)") + ", not for " +
              machine.name;
        return false;
    }
    if (type != kTypeShared) {
        why = "an ELF file that is no shared object";
        return false;
    }
    const uint64_t phoff = is64 ? ReadLE(bytes, 32, 8) : ReadLE(bytes, 28, 4);
    const uint64_t phentsize = ReadLE(bytes, is64 ? 54 : 42, 2);
    const uint64_t phnum = ReadLE(bytes, is64 ? 56 : 44, 2);
    if (phnum > kMaxProgramHeaders || phentsize < (is64 ? 56u : 32u) || phoff > bytes.size() ||
        phnum * phentsize > bytes.size() - phoff) {
        why = "an ELF shared object with damaged program headers";
        return false;
    }
    for (uint64_t i = 0; i < phnum; ++i) {
        if (ReadLE(bytes, static_cast<size_t>(phoff + i * phentsize), 4) == kSegmentInterp) {
            why = "an ELF program, not a shared object";
            return false;
        }
    }
    return true;
}

}  // namespace linuxsetup
