# The shipping build for x86-64 Linux (linux preset): clang against the Debian 11 root (see
# TovLinuxSysroot.cmake). The processor is this machine's, so CMake does not treat it as a cross
# build: the test programs run here (and in the VM, on the root's own userland).
set(TOV_SYSROOT_ARCH amd64)
set(TOV_SYSROOT_TRIPLE x86_64-linux-gnu)
include(${CMAKE_CURRENT_LIST_DIR}/TovLinuxSysroot.cmake)
