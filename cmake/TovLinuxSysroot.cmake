# Included by the toolchain files of the shipping Linux builds (x86_64-linux-gnu.cmake,
# aarch64-linux-gnu.cmake, arm-linux-gnueabihf.cmake) with TOV_SYSROOT_ARCH (Debian's name) and
# TOV_SYSROOT_TRIPLE set.
# Compiles with this machine's clang against the Debian 11 root that scripts/linux-sysroot.sh makes
# on first use (a minute or two, cached under build/sysroot/): its glibc 2.31 headers and libraries,
# its GCC 10 libstdc++ and libgcc (linked in statically by the shipped files), its kernel headers.
# What is linked against that root loads on every C library from the ICA Client's own floor on;
# tests/linux_module/glibc_floor.sh checks the symbol versions of the shipped files.
execute_process(COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/../scripts/linux-sysroot.sh ${TOV_SYSROOT_ARCH}
                OUTPUT_VARIABLE tov_sysroot OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE tov_sysroot_rc)
if(NOT tov_sysroot_rc EQUAL 0 OR NOT IS_DIRECTORY "${tov_sysroot}")
  message(FATAL_ERROR "The Debian 11 ${TOV_SYSROOT_ARCH} root could not be made (scripts/linux-sysroot.sh)")
endif()
set(CMAKE_SYSROOT ${tov_sysroot})
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${TOV_SYSROOT_TRIPLE})
set(CMAKE_CXX_COMPILER_TARGET ${TOV_SYSROOT_TRIPLE})
set(CMAKE_LIBRARY_ARCHITECTURE ${TOV_SYSROOT_TRIPLE})
# Programs (readelf, qemu) are this machine's; headers and libraries only the root's.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_SYSROOT_DIR} ${tov_sysroot})
set(ENV{PKG_CONFIG_LIBDIR} ${tov_sysroot}/usr/lib/${TOV_SYSROOT_TRIPLE}/pkgconfig:${tov_sysroot}/usr/share/pkgconfig)
