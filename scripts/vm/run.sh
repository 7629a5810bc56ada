#!/usr/bin/env bash
# Runs one program in a virtual machine with Debian's kernel and its real HID stack (hid, hid-generic,
# uhid; hidraw is built in), and hands back its output and exit status.
#
#   scripts/vm/run.sh [options] [--] PROGRAM [ARG...]
#
# The VM is qemu-system-x86_64 with software emulation (-accel tcg), booted from an initramfs: the
# base root of scripts/vm/prepare.sh (busybox-static, the modules, systemd-udevd; built once under
# build/vm/) plus an overlay made for this run. Its /init (scripts/vm/init.sh) mounts proc, sys,
# devtmpfs, loads the modules, starts udevd when asked, runs PROGRAM as root in /tov with
# PATH=/tov:/bin:/sbin:/usr/bin:/usr/sbin, and powers off.
#
# Files in:
#   --file HOST[:VM]   copies a file into the VM, by default as /tov/<its name>; for an ELF file the
#                      shared libraries it needs come along at the same paths (this machine's as
#                      ldd finds them, or the --libroot root's; a module the program dlopen()s:
#                      pass it with --file as well).
#   --dir HOST[:VM]    copies a folder (default /tov/<its name>); ELF files in it bring their libraries
#   PROGRAM            a path on this machine is copied in like --file and run from /tov; a bare name
#                      (sh, udevadm, ...) is looked up in the VM's PATH. ARGs are passed unchanged
#                      (use `sh -c '...'` for a shell command line).
# Options:
#   --udev             starts systemd-udevd (Debian's udev, its rules in /lib/udev/rules.d, yours in
#                      /etc/udev/rules.d), triggers the coldplug events and waits for them to settle
#                      before PROGRAM runs
#   --out DIR          after PROGRAM, what it left under /out in the VM is copied into DIR here
#   --log FILE         the VM's whole console log (default build/vm/last-run.log)
#   --timeout SECONDS  the whole run, boot to power-off (default 600)
#   --smp N            virtual CPUs (default 2), --mem MB (default 512)
#   --libroot DIR      the VM's userland from DIR, a Debian root of scripts/linux-sysroot.sh: the
#                      libraries of the files copied in (loader and C library included), udevd with
#                      its rules and helpers, and libudev (default: this machine's libraries and
#                      Debian 12's udev package)
# Inside the VM: root, the user "tovuser" (uid 1000, groups tovuser 1000 and plugdev 46; run as it
# with `su tovuser -c '...'`), /etc/passwd and /etc/group writable (add users or groups by appending
# lines), /dev/uhid, /dev/hidrawN as devices appear, /tmp and /run on tmpfs, no network.
# Result out:
#   stdout   what PROGRAM wrote to stdout and stderr (the VM's console, kernel messages quietened)
#   status   PROGRAM's exit status; 124 when the run timed out, 125 when the VM did not start, did
#            not report or could not set up (modules, udevd); in those cases, and whenever PROGRAM
#            fails, the VM's console log is printed on stderr, with the kernel log's tail.
# Prints "vm: booted in X s, PROGRAM ran X s" on stderr. Needs qemu-system-x86, busybox-static, cpio
# (scripts/bootstrap.sh); the first run fetches the kernel and udev packages with apt-get download.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
vmdir=${TOV_VM_DIR:-$root/build/vm}

udev=0; outdir=""; log="$vmdir/last-run.log"; timeout_s=600; smp=2; mem=512; libroot=""
files=(); dirs=()
usage() { sed -n '2,/^set -uo/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2; exit 125; }
while [ $# -gt 0 ]; do
  case $1 in
    --udev) udev=1; shift ;;
    --file) files+=("$2"); shift 2 ;;
    --dir) dirs+=("$2"); shift 2 ;;
    --out) outdir=$2; shift 2 ;;
    --log) log=$2; shift 2 ;;
    --timeout) timeout_s=$2; shift 2 ;;
    --smp) smp=$2; shift 2 ;;
    --mem) mem=$2; shift 2 ;;
    --libroot) libroot=$(cd "$2" && pwd) || exit 125; shift 2 ;;
    --help|-h) usage ;;
    --) shift; break ;;
    -*) echo "vm: unknown option $1" >&2; usage ;;
    *) break ;;
  esac
done
[ $# -gt 0 ] || usage

command -v qemu-system-x86_64 >/dev/null || { echo "vm: qemu-system-x86_64 is missing (run scripts/bootstrap.sh)" >&2; exit 125; }
export TOV_VM_LIBROOT=$libroot TOV_LIB_ROOT=$libroot
"$here/prepare.sh" || { echo "vm: the VM could not be prepared" >&2; exit 125; }
base=$vmdir/base.cpio.gz
[ -n "$libroot" ] && base=$vmdir/base-$(basename "$libroot").cpio.gz

work=$(mktemp -d "${TMPDIR:-/tmp}/tovusb-vm.XXXXXX")
trap 'rm -rf "$work"' EXIT
ov=$work/root
mkdir -p "$ov/tov" "$ov/out"

split() {  # split ENTRY DEFAULT_DIR -> sets src and dst
  src=${1%%:*}; dst=${1#*:}
  [ "$dst" = "$1" ] && dst=$2/$(basename "$src")
  return 0
}
for entry in "${files[@]}"; do
  split "$entry" /tov
  [ -f "$src" ] || { echo "vm: no file $src" >&2; exit 125; }
  mkdir -p "$ov$(dirname "$dst")"; cp -L "$src" "$ov$dst"
  "$here/copy-libs.sh" "$ov" "$src" || exit 125
done
for entry in "${dirs[@]}"; do
  split "$entry" /tov
  [ -d "$src" ] || { echo "vm: no folder $src" >&2; exit 125; }
  mkdir -p "$ov$dst"; cp -rL "$src/." "$ov$dst/"
  find "$src" -type f -perm -u+x -print0 | xargs -0 -r "$here/copy-libs.sh" "$ov" || exit 125
done
program=$1; shift
if [[ $program == */* ]]; then
  [ -f "$program" ] || { echo "vm: no program $program" >&2; exit 125; }
  cp -L "$program" "$ov/tov/$(basename "$program")"
  "$here/copy-libs.sh" "$ov" "$program" || exit 125
  program=/tov/$(basename "$program")
fi
{ printf 'exec'; printf ' %q' "$program" "$@"; printf ' 2>&1\n'; } >"$ov/tov/.cmd"
[ $udev = 1 ] && touch "$ov/tov/.udev"
[ -n "$outdir" ] && touch "$ov/tov/.out"
(cd "$ov" && find . | LC_ALL=C sort | cpio -o -H newc -R 0:0 --quiet | gzip -1 >"$work/overlay.cpio.gz")
# The kernel unpacks concatenated archives one after the other; the overlay's files win.
cat "$base" "$work/overlay.cpio.gz" >"$work/initrd.gz"

mkdir -p "$(dirname "$log")"
: >"$log"
start=$SECONDS
timeout --kill-after=10 "$timeout_s" qemu-system-x86_64 -accel tcg -machine pc -cpu max \
  -smp "$smp" -m "$mem" -nodefaults -no-user-config -display none -vga none -no-reboot \
  -kernel "$vmdir/vmlinuz" -initrd "$work/initrd.gz" \
  -append "console=ttyS0 quiet loglevel=1 panic=-1 rdinit=/init" \
  -serial "file:$log" -monitor none -nic none </dev/null >"$work/qemu.out" 2>&1
qrc=$?
elapsed=$((SECONDS - start))
tr -d '\r' <"$log" >"$work/console"

show_log() {
  echo "vm: ---- console log of the VM ($log) ----" >&2
  sed '/^TOVVM: out-begin/,/^TOVVM: out-end/d' "$work/console" >&2
  [ -s "$work/qemu.out" ] && { echo "vm: ---- qemu ----" >&2; cat "$work/qemu.out" >&2; }
  echo "vm: ---- end of the VM's log ----" >&2
}

# The program's own lines lie between "begin" and "end".
sed -n '/^TOVVM: begin/,/^TOVVM: end/{/^TOVVM: /!p}' "$work/console"
rc=$(sed -n 's/^TOVVM: exit \([0-9]*\)$/\1/p' "$work/console" | tail -1)
if [ $qrc = 124 ] || [ $qrc = 137 ]; then
  echo "vm: the run timed out after $timeout_s s" >&2; show_log; exit 124
fi
if [ -z "$rc" ]; then
  echo "vm: the VM did not report a result (qemu exit $qrc)" >&2; show_log; exit 125
fi
if [ -n "$outdir" ]; then
  mkdir -p "$outdir"
  if ! sed -n '/^TOVVM: out-begin/,/^TOVVM: out-end/{/^TOVVM: /!p}' "$work/console" |
       base64 -d | tar -xzf - -C "$outdir"; then
    echo "vm: the VM's /out could not be unpacked" >&2; show_log; exit 125
  fi
fi
boot=$(sed -n 's/^TOVVM: begin \(.*\) s$/\1/p' "$work/console")
ended=$(sed -n 's/^TOVVM: end \(.*\) s$/\1/p' "$work/console")
ran=$(awk -v a="$boot" -v b="$ended" 'BEGIN { printf "%.1f", b - a }')
echo "vm: booted in ${boot} s (VM clock), ran $(basename "$program") ${ran} s, ${elapsed} s in all" >&2
[ "$rc" = 0 ] || show_log
exit "$rc"
