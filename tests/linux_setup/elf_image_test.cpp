// The driver file check: an ELF shared object of this machine, not a program, not another machine.
#include <gtest/gtest.h>

#include "ElfImage.h"
#include "SetupFixture.h"

using namespace linuxsetup;

namespace {

// A 64-bit little-endian ELF header (64 bytes) with no program headers.
std::string Header64(uint16_t type, uint16_t machine) {
    std::string h(64, '\0');
    h[0] = 0x7f; h[1] = 'E'; h[2] = 'L'; h[3] = 'F';
    h[4] = 2; h[5] = 1; h[6] = 1;
    h[16] = static_cast<char>(type); h[17] = static_cast<char>(type >> 8);
    h[18] = static_cast<char>(machine); h[19] = static_cast<char>(machine >> 8);
    h[54] = 56;  // e_phentsize
    return h;
}

const ElfMachine kX8664 = {kElfMachineX8664, true, "x86-64"};

}  // namespace

TEST(ElfImage, HeadersOfEachKind) {
    std::string why;
    EXPECT_TRUE(IsSharedObjectFor(Header64(3, 62), kX8664, why)) << why;
    EXPECT_FALSE(IsSharedObjectFor(Header64(3, 183), kX8664, why));
    EXPECT_EQ(why, "an ELF file for aarch64 (64-bit), not for x86-64");
    EXPECT_FALSE(IsSharedObjectFor(Header64(2, 62), kX8664, why));
    EXPECT_EQ(why, "an ELF file that is no shared object");
    EXPECT_FALSE(IsSharedObjectFor("MZ\x90\x00" + std::string(60, '\0'), kX8664, why));
    EXPECT_EQ(why, "not an ELF file");
    EXPECT_FALSE(IsSharedObjectFor(Header64(3, 62).substr(0, 40), kX8664, why));
}

TEST(ElfImage, ProgramHeadersOutsideTheFileAreRefused) {
    std::string h = Header64(3, 62);
    h[32] = 0x40;  // e_phoff 64
    h[56] = 2;     // two program headers, none in the file
    std::string why;
    EXPECT_FALSE(IsSharedObjectFor(h, kX8664, why));
    EXPECT_EQ(why, "an ELF shared object with damaged program headers");
}

// An armhf setup program on Raspberry Pi OS 32-bit, whose Pi 4 and 5 boot a 64-bit kernel, checks
// the driver for its 32-bit ARM userland, not for the kernel's aarch64.
TEST(ElfImage, TheUserlandOfA32BitProgramOnA64BitKernelIsThe32BitOne) {
    const ElfMachine arm = {kElfMachineArm, false, "arm"}, i386 = {kElfMachineI386, false, "i386"};
    EXPECT_STREQ(UserlandMachine("aarch64", arm).name, "arm");
    EXPECT_STREQ(UserlandMachine("x86_64", i386).name, "i386");
    EXPECT_STREQ(UserlandMachine("armv7l", arm).name, "arm");
    EXPECT_STREQ(UserlandMachine("aarch64", kX8664).name, "aarch64");
    EXPECT_STREQ(UserlandMachine("x86_64", kX8664).name, "x86-64");
    EXPECT_STREQ(UserlandMachine("", arm).name, "arm");
}

TEST(ElfImage, RealLibraryIsTakenAndARealProgramIsNot) {
    std::string why;
    const ElfMachine host = HostMachine();
    EXPECT_TRUE(IsSharedObjectFor(setuptest::ReadBytes(TOV_FAKE_DRIVER), host, why)) << why;
    // The setup tool is a position-independent program: also of type ET_DYN, but with an interpreter.
    EXPECT_FALSE(IsSharedObjectFor(setuptest::ReadBytes(TOV_SETUP_TOOL), host, why));
    EXPECT_EQ(why, "an ELF program, not a shared object");
}
