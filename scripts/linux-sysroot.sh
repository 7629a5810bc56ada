#!/usr/bin/env bash
# linux-sysroot.sh ARCH: makes (once) the Debian 11 "bullseye" root that the shipped Linux files are
# compiled and linked against, and prints its folder. ARCH is amd64, arm64 or armhf.
#
# The ICA Client for Linux runs on systems whose C library is years older than this machine's; a
# program linked against Debian 12's glibc needs its newest symbol versions and does not load there.
# Linked against bullseye's glibc 2.31 (with the C++ runtime linked in statically) the files need
# nothing newer than what that library offers. The same root gives the VM its old userland (C
# library, loader, udevd and libudev) and qemu-user the arm64 and armhf libraries.
#
# The root is made with `debootstrap --foreign` for every architecture and every downloaded package
# is unpacked with `dpkg -x`: a sysroot needs files only, so no package script runs and nothing is
# executed inside the root (the ARM ones could not run here anyway). Absolute symbolic links are
# made relative, otherwise the linker, given --sysroot, would follow them into this machine's /usr.
#
# Folder: $TOV_SYSROOT_DIR, default build/sysroot/bullseye-ARCH in the source tree. A root is reused
# when its stamp file, written last, names the same package list and this script's contents; an
# interrupted run leaves no stamp, and the next run starts again from scratch.
#   TOV_DEBIAN_MIRROR   the archive (default http://deb.debian.org/debian)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
arch=${1:?usage: linux-sysroot.sh amd64|arm64|armhf}
case $arch in
  amd64) triple=x86_64-linux-gnu ;;
  arm64) triple=aarch64-linux-gnu ;;
  armhf) triple=arm-linux-gnueabihf ;;
  *) echo "sysroot: unknown architecture $arch" >&2; exit 2 ;;
esac
suite=bullseye
dir=${TOV_SYSROOT_DIR:-$root/build/sysroot/$suite-$arch}
mirror=${TOV_DEBIAN_MIRROR:-http://deb.debian.org/debian}
# Headers and static C++ runtime for the compiler; udev (udevd, udevadm, libudev) for the VM.
packages=libc6-dev,libstdc++-10-dev,libgcc-10-dev,linux-libc-dev,udev,libudev1
stamp_file=$dir/.tovusb-sysroot-complete
stamp="$suite $arch $packages $(sha256sum "${BASH_SOURCE[0]}" | cut -c1-16)"

if [ "$(cat "$stamp_file" 2>/dev/null)" = "$stamp" ]; then
  echo "$dir"
  exit 0
fi

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi
command -v debootstrap >/dev/null || { echo "sysroot: debootstrap is missing (run scripts/bootstrap.sh)" >&2; exit 1; }

mkdir -p "$(dirname "$dir")"
# One maker at a time per root (a second configure waits for the first).
exec 9>"$dir.lock"
flock 9
if [ "$(cat "$stamp_file" 2>/dev/null)" = "$stamp" ]; then echo "$dir"; exit 0; fi

start=$SECONDS
log=$dir.log
echo "sysroot: making the $suite $arch root in $dir (debootstrap from $mirror; log $log)" >&2
$SUDO rm -rf "$dir"
if ! $SUDO debootstrap --foreign --variant=minbase --arch="$arch" --include="$packages" \
       "$suite" "$dir" "$mirror" >"$log" 2>&1; then
  tail -20 "$log" >&2
  echo "sysroot: debootstrap failed (see $log)" >&2
  exit 1
fi
# The first stage unpacked only the packages that a second stage would need; the rest are still
# .deb files in the root's package cache.
debs=("$dir"/var/cache/apt/archives/*.deb)
[ -e "${debs[0]}" ] || { echo "sysroot: debootstrap left no packages in $dir" >&2; exit 1; }
for deb in "${debs[@]}"; do $SUDO dpkg -x "$deb" "$dir"; done

# Absolute symbolic links point into the root itself: make them relative.
while IFS= read -r -d '' link; do
  target=$(readlink "$link")
  case $target in
    /*) rel=$(realpath -m -s --relative-to="$(dirname "$link")" "$dir$target")
        $SUDO ln -sfn "$rel" "$link" ;;
  esac
done < <(find "$dir" -type l -print0)

# What the compiler, the linker and the VM need must be there.
for f in usr/include/stdio.h usr/include/linux/hidraw.h "usr/lib/$triple/libc_nonshared.a" \
         "usr/lib/gcc/$triple/10/libstdc++.a" "usr/lib/gcc/$triple/10/libgcc_eh.a" \
         "usr/lib/gcc/$triple/10/crtbeginS.o" "lib/$triple/libc.so.6" "usr/lib/$triple/libudev.so.1" \
         bin/udevadm; do
  [ -e "$dir/$f" ] || { echo "sysroot: $dir/$f is missing after unpacking" >&2; exit 1; }
done
$SUDO rm -f "$dir"/var/cache/apt/archives/*.deb
echo "$stamp" | $SUDO tee "$stamp_file" >/dev/null
echo "sysroot: $suite $arch root ready in $((SECONDS - start)) s" >&2
echo "$dir"
