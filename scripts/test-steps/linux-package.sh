#!/usr/bin/env bash
# The Debian package under the real dpkg in a throw-away root (dpkg --root; never the host's
# database or /etc): install on a PC with a fake ICA Client package of ours, the file trigger
# registering again after that package's upgrade rewrote module.ini, an upgrade of our package,
# and removal giving back module.ini byte for byte; the package and the thin-client archive hold
# exactly the shipped files, and the installed device check states the registration; the arm64
# and armhf packages of the cross builds hold the same files as AArch64 and ARMv7 programs. The RPM
# package the same way under the real rpm (rpm --root): install, the ICA Client's package installed
# and upgraded after ours (trigger), an upgrade to a newer build, erase. Every ELF file of the
# packages and the archives needs no C library symbol version above the floor (glibc_floor.sh), and
# tovusb-setup runs in the throw-away roots on Debian 11's C library; then the packages as Debian
# and RPM systems check them (linux-package/ecosystem-checks.sh: lintian, rpmlint, stripping, a
# signed RPM). Builds the linux, linux-arm64 and linux-armhf presets' package and archive targets.
# Writes "passed failed" into build/extra-results/linux-package.count. A few minutes after the builds.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
cd "$root"
count=build/extra-results/linux-package.count
mkdir -p build/extra-results
echo "0 1" >"$count"
log=build/linux-package.log
if ! { cmake --preset linux >"$log" 2>&1 && cmake --build build/linux -j"${TOV_JOBS:-$(nproc)}" --target tovusb-setup tovusb-devicecheck VDTOVUSB tovusb_udev_rules >>"$log" 2>&1 &&
       cmake --build build/linux --target linux_archive >>"$log" 2>&1 &&
       (cd build/linux && cpack -G DEB) >>"$log" 2>&1; }; then
  tail -20 "$log"; echo "linux-package: build failed (see $log)"; exit 1
fi
deb=$(ls build/linux/tovusb_*_amd64.deb | head -1)
archive=$(ls build/linux/TovUSB-*-linux-x86_64.tar.gz | head -1)
work=$(mktemp -d "${TMPDIR:-/tmp}/tovusb-dpkg.XXXXXX")
trap 'rm -rf "$work"' EXIT
passed=0; failed=0
check() {  # check NAME COMMAND...
  if "${@:2}"; then passed=$((passed + 1)); echo "linux-package: ok   $1"
  else failed=$((failed + 1)); echo "linux-package: FAIL $1"; fi
}

# A root that dpkg --root accepts: its database, a static shell for the maintainer scripts, the C
# library that tovusb-setup needs (the old one of the Debian 11 root it was linked against), and the
# programs dpkg looks for on PATH.
r=$work/root
mkdir -p "$r"/var/lib/dpkg/{info,updates,triggers} "$r"/var/log "$r"/bin "$r"/usr/bin "$r"/sbin "$r"/etc "$r"/tmp
touch "$r"/var/lib/dpkg/status "$r"/var/lib/dpkg/available
cp /bin/busybox "$r/bin/busybox"
for tool in sh rm mv cp cat ln mkdir chmod; do ln -sf busybox "$r/bin/$tool"; done
for tool in ldconfig start-stop-daemon; do printf '#!/bin/sh\nexit 0\n' >"$r/sbin/$tool"; chmod 755 "$r/sbin/$tool"; done
sysroot=$(bash scripts/linux-sysroot.sh amd64) || { echo "linux-package: no Debian 11 root"; exit 1; }
TOV_LIB_ROOT=$sysroot bash scripts/vm/copy-libs.sh "$r" build/linux/setup/linux/app/tovusb-setup ||
  { echo "linux-package: the C library of tovusb-setup is missing from $sysroot"; exit 1; }
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
dpkg_root() { dpkg --root="$r" --force-not-root --log="$work/dpkg.log" "$@" >>"$work/dpkg.out" 2>&1; }

# A fake ICA Client package: module.ini shipped as a configuration file of its /opt folder.
fake_client() {  # fake_client VERSION LIST
  local d=$work/icaclient-$1
  mkdir -p "$d/DEBIAN" "$d/opt/Citrix/ICAClient/config"
  printf 'Package: icaclient\nVersion: %s\nArchitecture: all\nMaintainer: test <t@t.invalid>\nDescription: fake ICA Client\n' "$1" >"$d/DEBIAN/control"
  printf '; ICA Client %s\n[ICA 3.0]\nVirtualDriver = %s\nThinwire3.0 = On\n\n[Thinwire3.0]\nDriverName = VDTW30.DLL\n' "$1" "$2" \
    >"$d/opt/Citrix/ICAClient/config/module.ini"
  printf '# usb\nDENY: class=09 # Hub devices\nALLOW:\n' >"$d/opt/Citrix/ICAClient/usb.conf"
  dpkg-deb --root-owner-group -b "$d" "$work/icaclient_$1_all.deb" >/dev/null
}
ini=$r/opt/Citrix/ICAClient/config/module.ini
registered() { "$r/opt/tovusb/tovusb-setup" status --icaroot "$r/opt/Citrix/ICAClient" --root "$r" >"$work/status.out" 2>&1; }
not_registered() { ! grep -q TovUSB "$ini"; }

# The C library copied above (its version from its file name, libc-2.31.so), announced to dpkg so
# that the package's dependency is met.
libc_version=$(basename "$(ls "$sysroot"/lib/x86_64-linux-gnu/libc-*.so)" .so); libc_version=${libc_version#libc-}
mkdir -p "$work/libc6/DEBIAN"
printf 'Package: libc6\nVersion: %s\nArchitecture: amd64\nMaintainer: test <t@t.invalid>\nDescription: the old C library\n' \
  "$libc_version" >"$work/libc6/DEBIAN/control"
dpkg-deb --root-owner-group -b "$work/libc6" "$work/libc6.deb" >/dev/null
check "the C library's stand-in" dpkg_root -i "$work/libc6.deb"
# What the package and the archive ship, by name.
shipped="70-tovusb.rules ADMINISTRATORS-LINUX.md VDTOVUSB.DLL tovusb-devicecheck tovusb-setup"
deb_files() { dpkg-deb -c "${1:-$deb}" | awk '{ print $NF }' | grep '^\./opt/tovusb/.' | sed 's|^\./opt/tovusb/||' | LC_ALL=C sort | xargs; }
archive_files() { tar tzf "$archive" | grep -v '/$' | sed 's|^[^/]*/||' | LC_ALL=C sort | xargs; }
check "the package holds exactly the shipped files in /opt/tovusb" test "$(deb_files)" = "$shipped"
check "the thin-client archive holds exactly the shipped files" test "$(archive_files)" = "$shipped"
# Every ELF file shipped loads on the oldest C library we support: no symbol version above the floor
# of tests/linux_module/glibc_floor.sh, which the package's dependency on libc6 states too.
floor=$(sed -n 's/^floor=//p' tests/linux_module/glibc_floor.sh)
glibc_floor() {  # glibc_floor NAME DIR: DIR holds the shipped files
  check "$1: every ELF file needs at most GLIBC_$floor" bash tests/linux_module/glibc_floor.sh readelf "$2" 3
}
unpacked() {  # unpacked PACKAGE-OR-ARCHIVE: unpacks it (once) into a folder of its own and prints that
  local d=$work/unpacked/$(basename "$1")
  [ -d "$d" ] && { echo "$d"; return; }
  mkdir -p "$d"
  case $1 in *.deb) dpkg-deb -x "$1" "$d" ;; *.rpm) rpm2cpio "$1" | (cd "$d" && cpio -idm --quiet) ;; *) tar xzf "$1" -C "$d" ;; esac
  echo "$d"
}
check "the package depends on libc6 from the floor on" test "$(dpkg-deb -f "$deb" Depends)" = "libc6 (>= $floor)"
glibc_floor "the amd64 package" "$(unpacked "$deb")"
glibc_floor "the x86-64 archive" "$(unpacked "$archive")"
fake_client 1.0 "Thinwire3.0, ClientDrive"
fake_client 2.0 "Thinwire3.0, ClientDrive, ClientAudio"

check "install without an ICA Client succeeds with a note" dpkg_root -i "$deb"
check "the note is shown" grep -q "no Citrix ICA Client in /opt/Citrix/ICAClient yet" "$work/dpkg.out"
check "the ICA Client's install triggers the registration" dpkg_root -i "$work/icaclient_1.0_all.deb"
check "registered after the ICA Client's install" registered
# The installed device check, with no command on its input, states the same registration.
devicecheck() { "$r/opt/tovusb/tovusb-devicecheck" --icaroot "$r/opt/Citrix/ICAClient" --root "$r" </dev/null >"$work/devicecheck.out" 2>&1; }
check "the installed device check runs" devicecheck
check "the device check states the registration" grep -qx "  TovUSB is registered with the ICA Client" "$work/devicecheck.out"
cp "$ini" "$work/registered-1.0.ini"
check "the ICA Client's upgrade" dpkg_root -i "$work/icaclient_2.0_all.deb"
check "registered again after the upgrade rewrote module.ini" registered
check "the upgraded module.ini kept its own new list" grep -q "^VirtualDriver = Thinwire3.0, ClientDrive, ClientAudio, TovUSB" "$ini"
check "our package upgraded in place" dpkg_root -i "$deb"
check "registered after our upgrade" registered
check "removal" dpkg_root -r tovusb
check "module.ini is the ICA Client's own again" cmp -s "$ini" "$work/icaclient-2.0/opt/Citrix/ICAClient/config/module.ini"
check "usb.conf is the ICA Client's own again" cmp -s "$r/opt/Citrix/ICAClient/usb.conf" "$work/icaclient-2.0/opt/Citrix/ICAClient/usb.conf"
check "no file of ours is left" test ! -e "$r/opt/tovusb" -a ! -e "$r/opt/Citrix/ICAClient/VDTOVUSB.DLL" -a ! -e "$r/etc/udev/rules.d/70-tovusb.rules"

# The RPM package, built twice (release 1, and release 2 as the newer build to upgrade to), under
# the real rpm in a throw-away root (rpm --root runs the package's scripts chrooted there): busybox
# stands in for the root's shell, Debian 11's C library for the system's, and the dependencies are
# not checked (--nodeps; the root has no glibc package). A fake ICAClient package installed and
# upgraded after ours must leave the driver registered (trigger).
rpm_log=build/linux-package-rpm.log
rpm_release() {  # rpm_release N: builds tovusb-<version>-N.x86_64.rpm
  (cd build/linux && cpack -G RPM -D CPACK_RPM_PACKAGE_RELEASE="$1") >>"$rpm_log" 2>&1 &&
    ls build/linux/tovusb-*-"$1".x86_64.rpm 2>/dev/null | head -1
}
: >"$rpm_log"
rpm1=$(rpm_release 1); rpm2=$(rpm_release 2)
check "the RPM package is built as tovusb-<version>-1.x86_64.rpm" test -n "$rpm1" -a -n "$rpm2"
if [ -n "$rpm1" ] && [ -n "$rpm2" ]; then
  rpm_files() { rpm -qpl "$1" | grep '^/opt/tovusb/.' | sed 's|^/opt/tovusb/||' | LC_ALL=C sort | xargs; }
  check "the RPM package holds exactly the shipped files in /opt/tovusb" test "$(rpm_files "$rpm1")" = "$shipped"
  check "the RPM package holds nothing outside /opt/tovusb" test -z "$(rpm -qpl "$rpm1" | grep -v '^/opt/tovusb')"
  glibc_floor "the RPM package" "$(unpacked "$rpm1")"
  q=$work/rpmroot
  mkdir -p "$q"/bin "$q"/sbin "$q"/usr/bin "$q"/etc "$q"/tmp "$q"/var/log
  cp /bin/busybox "$q/bin/busybox"
  for tool in sh rm mv cp cat ln mkdir chmod; do ln -sf busybox "$q/bin/$tool"; done
  # udevadm of the running system (/ inside the chroot): the stand-in has nothing to reload.
  printf '#!/bin/sh\nexit 0\n' >"$q/bin/udevadm"; chmod 755 "$q/bin/udevadm"
  TOV_LIB_ROOT=$sysroot bash scripts/vm/copy-libs.sh "$q" build/linux/setup/linux/app/tovusb-setup
  rpm_root() { rpm --root="$q" "$@" >>"$work/rpm.out" 2>&1; }
  fake_client_rpm() {  # fake_client_rpm VERSION LIST: the ICAClient package, module.ini rewritten on upgrade
    local t=$work/rpmbuild-$1
    mkdir -p "$t"
    cat >"$t/icaclient-package" <<RECIPE
Name: ICAClient
Version: $1
Release: 1
Summary: fake ICA Client
License: none
BuildArch: noarch
%description
fake ICA Client
%install
mkdir -p %{buildroot}/opt/Citrix/ICAClient/config
printf '; ICA Client $1\\n[ICA 3.0]\\nVirtualDriver = $2\\nThinwire3.0 = On\\n\\n[Thinwire3.0]\\nDriverName = VDTW30.DLL\\n' >%{buildroot}/opt/Citrix/ICAClient/config/module.ini
printf '# usb\\nDENY: class=09 # Hub devices\\nALLOW:\\n' >%{buildroot}/opt/Citrix/ICAClient/usb.conf
%files
/opt/Citrix/ICAClient/config/module.ini
/opt/Citrix/ICAClient/usb.conf
RECIPE
    rpmbuild --define "_topdir $t" -bb "$t/icaclient-package" >>"$rpm_log" 2>&1 &&
      cp "$t"/RPMS/noarch/ICAClient-"$1"-1.noarch.rpm "$work/"
  }
  fake_client_rpm 1.0 "Thinwire3.0, ClientDrive"
  fake_client_rpm 2.0 "Thinwire3.0, ClientDrive, ClientAudio"
  qini=$q/opt/Citrix/ICAClient/config/module.ini
  rpm_registered() { "$q/opt/tovusb/tovusb-setup" status --icaroot "$q/opt/Citrix/ICAClient" --root "$q" >"$work/status.out" 2>&1; }
  check "rpm: a fresh database" rpm_root --initdb
  check "rpm: install without an ICA Client succeeds with a note" rpm_root --nodeps -i "$rpm1"
  check "rpm: the note is shown" grep -q "no Citrix ICA Client in /opt/Citrix/ICAClient yet" "$work/rpm.out"
  check "rpm: the ICA Client's install" rpm_root --nodeps -i "$work/ICAClient-1.0-1.noarch.rpm"
  check "rpm: registered after the ICA Client's install (trigger)" rpm_registered
  check "rpm: the ICA Client's upgrade" rpm_root --nodeps -U "$work/ICAClient-2.0-1.noarch.rpm"
  check "rpm: the upgrade rewrote module.ini with its own list" grep -q "^; ICA Client 2.0" "$qini"
  check "rpm: registered again after the ICA Client's upgrade (trigger)" rpm_registered
  check "rpm: the upgraded module.ini kept its own new list" grep -q "^VirtualDriver = Thinwire3.0, ClientDrive, ClientAudio, TovUSB" "$qini"
  check "rpm: our package upgraded to the newer build" rpm_root --nodeps -U "$rpm2"
  check "rpm: the newer build is installed" test "$(rpm --root="$q" -q tovusb)" = "$(rpm -qp "$rpm2")"
  check "rpm: registered after our upgrade" rpm_registered
  check "rpm: erase" rpm_root --nodeps -e tovusb
  client2=$(unpacked "$work/ICAClient-2.0-1.noarch.rpm")
  check "rpm: module.ini is the ICA Client's own again" cmp -s "$qini" "$client2/opt/Citrix/ICAClient/config/module.ini"
  check "rpm: usb.conf is the ICA Client's own again" cmp -s "$q/opt/Citrix/ICAClient/usb.conf" "$client2/opt/Citrix/ICAClient/usb.conf"
  check "rpm: no file of ours is left" test ! -e "$q/opt/tovusb" -a ! -e "$q/opt/Citrix/ICAClient/VDTOVUSB.DLL" -a ! -e "$q/etc/udev/rules.d/70-tovusb.rules"
  if [ "$failed" -gt 0 ]; then echo "--- rpm output"; tail -40 "$work/rpm.out"; cat "$work/status.out"; fi
fi

# The arm64 and armhf packages from the cross builds: the same files and maintainer scripts, every
# program built for that processor (armhf: no more than Debian's armhf baseline). (Their maintainer
# scripts are the amd64 package's, run above.)
machine_is() { readelf -h "$1" 2>/dev/null | grep -Eq "^ +Machine: +$2\$"; }
cross_package() {  # cross_package DEB-ARCH PRESET ARCHIVE-MACHINE READELF-MACHINE
  local arch=$1 preset=$2 machine=$3 elf_machine=$4 cross_log=build/linux-package-$1.log cross_deb="" cross_archive=""
  if cmake --preset "$preset" >"$cross_log" 2>&1 &&
     cmake --build "build/$preset" -j"${TOV_JOBS:-$(nproc)}" --target tovusb-setup tovusb-devicecheck VDTOVUSB tovusb_udev_rules >>"$cross_log" 2>&1 &&
     cmake --build "build/$preset" --target linux_archive >>"$cross_log" 2>&1 &&
     (cd "build/$preset" && cpack -G DEB) >>"$cross_log" 2>&1; then
    cross_deb=$(ls "build/$preset"/tovusb_*_"$arch".deb 2>/dev/null | head -1)
    cross_archive=$(ls "build/$preset"/TovUSB-*-linux-"$machine".tar.gz 2>/dev/null | head -1)
  else
    tail -20 "$cross_log"
  fi
  check "the $arch package is built" test -n "$cross_deb"
  check "the $machine archive is built" test -n "$cross_archive"
  [ -n "$cross_archive" ] && glibc_floor "the $machine archive" "$(unpacked "$cross_archive")"
  [ -n "$cross_deb" ] || return
  check "the $arch package is for $arch" test "$(dpkg-deb -f "$cross_deb" Architecture)" = "$arch"
  check "the $arch package holds exactly the shipped files" test "$(deb_files "$cross_deb")" = "$shipped"
  glibc_floor "the $arch package" "$(unpacked "$cross_deb")"
  mkdir -p "$work/$arch" "$work/$arch-control" "$work/amd64-control"
  dpkg-deb -x "$cross_deb" "$work/$arch"
  dpkg-deb -e "$cross_deb" "$work/$arch-control"
  dpkg-deb -e "$deb" "$work/amd64-control"
  for program in VDTOVUSB.DLL tovusb-setup tovusb-devicecheck; do
    check "$arch $program is an $elf_machine program" machine_is "$work/$arch/opt/tovusb/$program" "$elf_machine"
    if [ "$arch" = armhf ]; then
      check "armhf $program needs no more than ARMv7-A, Thumb-2, VFPv3-D16" \
        bash tests/linux_module/check_elf_module.sh readelf "$work/$arch/opt/tovusb/$program" armhf ArmhfBaseline
    fi
  done
  for script in postinst prerm triggers; do
    check "the $arch package's $script is the amd64 one's" cmp -s "$work/$arch-control/$script" "$work/amd64-control/$script"
  done
}
cross_package arm64 linux-arm64 aarch64 AArch64
cross_package armhf linux-armhf armhf ARM
# (Without an RPM package its check above failed already.)
[ -n "$rpm1" ] && source "$here/linux-package/ecosystem-checks.sh"
if [ "$failed" -gt 0 ]; then echo "--- dpkg output"; tail -40 "$work/dpkg.out"; cat "$work/status.out"; cat "$work/devicecheck.out" 2>/dev/null; fi
echo "$passed $failed" >"$count"
echo "linux-package: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
