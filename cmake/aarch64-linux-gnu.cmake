# Cross build for 64-bit ARM Linux (arm64 thin clients; linux-arm64 preset): clang against the
# Debian 11 arm64 root (see TovLinuxSysroot.cmake), linked by Debian's aarch64-linux-gnu-ld. Test
# programs run under qemu-user with that root's loader and libraries.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(TOV_SYSROOT_ARCH arm64)
set(TOV_SYSROOT_TRIPLE aarch64-linux-gnu)
include(${CMAKE_CURRENT_LIST_DIR}/TovLinuxSysroot.cmake)
find_program(TOV_QEMU_AARCH64 NAMES qemu-aarch64-static qemu-aarch64 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${TOV_QEMU_AARCH64} -L ${CMAKE_SYSROOT})
set(TOV_OBJDUMP aarch64-linux-gnu-objdump)
