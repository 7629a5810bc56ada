#!/usr/bin/env bash
# Prepares what every VM run shares, once, under build/vm/ (or $TOV_VM_DIR):
#   debs/            Debian's kernel image package (the one linux-image-amd64 depends on) and udev,
#                    fetched with `apt-get download`, never installed on this machine
#   kernel/, udev/   those packages unpacked with `dpkg -x`
#   vmlinuz          the kernel
#   base.cpio.gz     the VM's base root: busybox-static with its applets, /init, hid.ko,
#                    hid-generic.ko and uhid.ko (with their load order), systemd-udevd (udevadm)
#                    with its rules, the host's copies of the libraries it needs and of libudev,
#                    /etc/passwd and /etc/group with a non-root user.
# With TOV_VM_LIBROOT=DIR (a Debian root of scripts/linux-sysroot.sh) the userland is that root's:
# udevd, its rules and helpers, libudev and every library come from DIR, into base-<DIR's name>.cpio.gz
# (the kernel stays the one above).
# Prints nothing but errors and "vm: ..." progress lines; exits non-zero when anything is missing
# (a VM that cannot be built fails the test that wanted it).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
vmdir=${TOV_VM_DIR:-$root/build/vm}
mkdir -p "$vmdir/debs"

die() { echo "vm: $*" >&2; exit 1; }
for tool in busybox cpio gzip dpkg apt-get; do
  command -v "$tool" >/dev/null || die "$tool is missing (run scripts/bootstrap.sh)"
done
busybox_bin=$(command -v busybox)
file -L "$busybox_bin" 2>/dev/null | grep -q 'statically linked' || [ -x /bin/busybox ] ||
  die "busybox is not the static one (install busybox-static)"

# The kernel package is the one the metapackage depends on today.
kernel_pkg=$(apt-cache depends linux-image-amd64 2>/dev/null |
             awk '/Depends: linux-image-[0-9]/ { print $2; exit }')
[ -n "$kernel_pkg" ] || die "apt does not know linux-image-amd64 (apt-get update?)"

fetch() {  # fetch PACKAGE: downloads PACKAGE's .deb into debs/ unless a copy is there
  local pkg=$1
  if ! ls "$vmdir/debs/${pkg}_"*.deb >/dev/null 2>&1; then
    echo "vm: fetching $pkg" >&2
    if ! (cd "$vmdir/debs" && apt-get download -q "$pkg" >/dev/null 2>&1); then
      # A fresh machine may not have the package lists yet.
      if [ "$(id -u)" = 0 ]; then apt-get update -q >/dev/null 2>&1 || true; fi
      (cd "$vmdir/debs" && apt-get download -q "$pkg" >/dev/null) || die "cannot download $pkg"
    fi
  fi
  ls "$vmdir/debs/${pkg}_"*.deb | tail -1
}
kernel_deb=$(fetch "$kernel_pkg")
udev_deb=$(fetch udev)

libroot=${TOV_VM_LIBROOT:-}
name=base
userland="$(basename "$udev_deb")"
if [ -n "$libroot" ]; then
  [ -x "$libroot/bin/udevadm" ] || die "$libroot has no udevadm (not a root of scripts/linux-sysroot.sh?)"
  name=base-$(basename "$libroot")
  userland="$libroot $(cat "$libroot/.tovusb-sysroot-complete" 2>/dev/null)"
fi
stamp="$(basename "$kernel_deb") $userland $(sha256sum "$here/init.sh" "$here/prepare.sh" "$here/copy-libs.sh" | sha256sum | cut -c1-16)"
if [ -f "$vmdir/$name.cpio.gz" ] && [ -f "$vmdir/vmlinuz" ] && [ "$(cat "$vmdir/$name.stamp" 2>/dev/null)" = "$stamp" ]; then
  exit 0
fi
echo "vm: building the base root from $(basename "$kernel_deb") and $userland"

rm -rf "$vmdir/kernel" "$vmdir/udev" "$vmdir/base"
dpkg -x "$kernel_deb" "$vmdir/kernel"
dpkg -x "$udev_deb" "$vmdir/udev"
# Where udev and the libraries come from: Debian 12's udev package and this machine, or the root.
udev_tree=${libroot:-$vmdir/udev}
export TOV_LIB_ROOT=$libroot
cp "$vmdir"/kernel/boot/vmlinuz-* "$vmdir/vmlinuz"
kver=$(basename "$(ls -d "$vmdir"/kernel/lib/modules/*)")
config=$(ls "$vmdir"/kernel/boot/config-*)
grep -qx 'CONFIG_HIDRAW=y' "$config" || die "the kernel $kver does not have hidraw built in"
grep -qx 'CONFIG_DEVTMPFS=y' "$config" || die "the kernel $kver has no devtmpfs"

b=$vmdir/base
mkdir -p "$b"/{bin,sbin,etc,proc,sys,dev,run,tmp,tov,out,lib/modules/$kver,usr/bin,usr/sbin,var/log}
cp "$busybox_bin" "$b/bin/busybox"
for applet in $("$b/bin/busybox" --list); do
  [ -e "$b/bin/$applet" ] || ln -s busybox "$b/bin/$applet"
done

# Modules: the three we need and, in front of each, what it depends on (the "depends=" field of
# its .modinfo section), in load order.
moddir=$vmdir/kernel/lib/modules/$kver
order=()
add_module() {
  local name=$1 path deps dep
  for m in "${order[@]}"; do [ "$m" = "$name" ] && return; done
  path=$(find "$moddir" -name "$name.ko" -o -name "$(echo "$name" | tr _ -).ko" | head -1)
  [ -n "$path" ] || die "module $name.ko is not in the kernel package"
  deps=$(strings "$path" | sed -n 's/^depends=//p' | head -1)
  for dep in ${deps//,/ }; do add_module "$dep"; done
  cp "$path" "$b/lib/modules/$kver/"
  order+=("$(basename "$path" .ko)")
}
for m in hid hid-generic uhid; do add_module "$m"; done
printf '%s\n' "${order[@]}" >"$b/etc/tov-modules"

# udev: the daemon is udevadm under the name systemd-udevd; its rules; its libraries (from this
# machine, the same Debian release as the package, or from the root); libudev, which the driver
# loads when udevd runs.
mkdir -p "$b/lib/systemd" "$b/lib/udev" "$b/etc/udev/rules.d"
cp "$udev_tree/bin/udevadm" "$b/bin/udevadm"
ln -sf /bin/udevadm "$b/lib/systemd/systemd-udevd"
cp -r "$udev_tree/lib/udev/rules.d" "$b/lib/udev/"
find "$udev_tree/lib/udev" -maxdepth 1 -type f -perm -u+x -exec cp {} "$b/lib/udev/" \;
"$here/copy-libs.sh" "$b" "$b/bin/udevadm" "$b"/lib/udev/*_id
libudev=/usr/lib/x86_64-linux-gnu/libudev.so.1
[ -e "$libroot$libudev" ] || die "$libroot$libudev is missing"
mkdir -p "$b$(dirname "$libudev")"
cp -L "$libroot$libudev" "$b$libudev"
"$here/copy-libs.sh" "$b" "$b$libudev"
printf 'udev_log=err\n' >"$b/etc/udev/udev.conf"

# Users and groups: root and a plain user "tovuser" (uid 1000) with a group of its own and
# plugdev; the groups udev's rules name, so that its GROUP= assignments resolve.
cat >"$b/etc/passwd" <<'PW'
root:x:0:0:root:/root:/bin/sh
tovuser:x:1000:1000:TovUSB test user:/home/tovuser:/bin/sh
nobody:x:65534:65534:nobody:/nonexistent:/bin/false
PW
cat >"$b/etc/group" <<'GR'
root:x:0:
tty:x:5:
disk:x:6:
kmem:x:15:
dialout:x:20:
cdrom:x:24:
floppy:x:25:
tape:x:26:
audio:x:29:
video:x:44:
plugdev:x:46:tovuser
users:x:100:
input:x:101:
sgx:x:102:
kvm:x:103:
render:x:104:
tovuser:x:1000:
nogroup:x:65534:
GR
# Before glibc 2.34 the lookup of users and groups in these files is a module that the C library
# loads (libnss_files.so.2); later ones have it built in.
printf 'passwd: files\ngroup: files\nshadow: files\n' >"$b/etc/nsswitch.conf"
if [ -n "$libroot" ]; then
  nss=$(cd "$libroot" && ls lib/x86_64-linux-gnu/libnss_files.so.2)
  mkdir -p "$b/$(dirname "$nss")"
  cp -L "$libroot/$nss" "$b/$nss"
  "$here/copy-libs.sh" "$b" "$b/$nss"
fi
mkdir -p "$b/root" "$b/home/tovuser"
cp "$here/init.sh" "$b/init"
chmod 755 "$b/init"

(cd "$b" && find . | LC_ALL=C sort | cpio -o -H newc -R 0:0 --quiet | gzip -1 >"$vmdir/$name.cpio.gz.new")
mv "$vmdir/$name.cpio.gz.new" "$vmdir/$name.cpio.gz"
echo "$stamp" >"$vmdir/$name.stamp"
echo "vm: base root ready ($name.cpio.gz $(du -h "$vmdir/$name.cpio.gz" | cut -f1), kernel $kver, modules ${order[*]}, udev of $userland)"
