# Cross build for 32-bit ARM Linux (armhf thin clients, Raspberry Pi OS; linux-armhf preset): clang
# against the Debian 11 armhf root (see TovLinuxSysroot.cmake), linked by Debian's
# arm-linux-gnueabihf-ld. The code is Debian's armhf baseline, the one the root's static libstdc++
# and libgcc are built for: ARMv7-A, Thumb-2, VFPv3-D16, float arguments in VFP registers. ARMv6
# boards (Raspberry Pi Zero and 1) are not served. Test programs run under qemu-user with that
# root's loader and libraries.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR armv7l)
set(TOV_SYSROOT_ARCH armhf)
set(TOV_SYSROOT_TRIPLE arm-linux-gnueabihf)
include(${CMAKE_CURRENT_LIST_DIR}/TovLinuxSysroot.cmake)
set(tov_armhf_baseline "-march=armv7-a -mfpu=vfpv3-d16 -mfloat-abi=hard -mthumb")
set(CMAKE_C_FLAGS_INIT "${tov_armhf_baseline}")
set(CMAKE_CXX_FLAGS_INIT "${tov_armhf_baseline}")
find_program(TOV_QEMU_ARM NAMES qemu-arm-static qemu-arm REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${TOV_QEMU_ARM} -L ${CMAKE_SYSROOT})
set(TOV_OBJDUMP arm-linux-gnueabihf-objdump)
