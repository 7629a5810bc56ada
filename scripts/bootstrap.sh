#!/usr/bin/env bash
# Installs everything the project needs on a Debian 12 machine, idempotently.
# Takes a second or two when everything is already present.
set -euo pipefail

packages=(
  cmake make g++ clang libclang-rt-14-dev googletest
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine wine32 wine64 xvfb xauth imagemagick msitools wixl
  osslsigncode openssl
  # The Linux driver: the kernel's hidraw header, readelf for the module's image checks, libudev
  # (loaded at run time; its monitor is tested).
  linux-libc-dev binutils libudev1
  # The Linux package's test: dpkg in a throw-away root whose maintainer scripts run busybox's shell.
  busybox-static
  # The VM of the Linux driver's tests (scripts/vm/): qemu with software emulation, the root's
  # busybox, the initramfs packer, and the libraries of udev's daemon (copied from this machine);
  # the kernel and udev packages themselves are fetched with apt-get download, never installed.
  qemu-system-x86 cpio file libkmod2 libacl1 libblkid1 libcap2 libselinux1 libssl3
  # The shipped Linux files are compiled by clang (above) against Debian 11 roots that debootstrap
  # makes (scripts/linux-sysroot.sh); the arm64 and armhf builds are linked by binutils' aarch64
  # and arm linkers and their tests run under qemu-user with the roots' libraries.
  debootstrap binutils-aarch64-linux-gnu binutils-arm-linux-gnueabihf qemu-user-static
  # The RPM package: CPack's RPM generator runs rpmbuild; its test installs it with rpm in a
  # throw-away root, signs it with a throw-away gpg key and checks both packages with lintian and
  # rpmlint.
  rpm gnupg lintian rpmlint
  # The benchmark's instructions per report (bench instructions runs itself under callgrind).
  valgrind
)

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi

need_i386=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  need_i386=1
fi

missing=()
for p in "${packages[@]}"; do
  name=$p
  case $p in wine32) name="wine32:i386" ;; esac
  if ! dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ] || [ $need_i386 = 1 ]; then
  echo "bootstrap: installing ${missing[*]}"
  # A mirror being synced serves an index whose size does not match its Release file ("Mirror
  # sync in progress?"), sometimes for days; apt then fails the whole update although it read every
  # other index. Try again twice; then install from the indexes apt did read, preferring the
  # release's own suite: when the failed index is the security suite's i386 one, the amd64 library
  # would otherwise come from the security suite and its i386 twin (wine32's) from the release, and
  # the two must be the same version.
  install_options=()
  for try in 1 2 3; do
    if $SUDO apt-get update -q -o Acquire::Retries=3; then break; fi
    if [ "$try" = 3 ]; then
      codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
      if [ -n "$codename" ]; then install_options=(-t "$codename"); fi
      echo "bootstrap: warning: apt-get update failed three times; installing from the indexes it read ${install_options[*]}" >&2
      break
    fi
    echo "bootstrap: apt-get update failed (try $try of 3); trying again in $((try * 20)) s"
    sleep $((try * 20))
  done
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends \
    ${install_options[@]+"${install_options[@]}"} "${missing[@]}"
fi
echo "bootstrap: all packages present"
