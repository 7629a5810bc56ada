#!/usr/bin/env bash
# The shipping Linux driver on the real kernel HID stack: builds VDTOVUSB.DLL and the VM test
# programs (tests/vm) in the linux preset (against the Debian 11 root), boots the VM with udevd
# (scripts/vm/run.sh) on that root's userland (glibc 2.31, udev 247, its libudev) and runs every
# program there (tests/vm/run-in-vm.sh): the uhid/hidraw check of the VM itself (vm_uhid_tests),
# the driver in the simulated ICA Client against uhid devices (vm_driver_tests), the driver on the
# kernel's uevents where libudev cannot be loaded (vm_kernel_monitor_tests), its unload and
# second load (vm_unload_tests), the shipping
# tovusb-devicecheck against uhid devices (vm_devicecheck_tests) and the udev rules of tovusb-setup
# (vm_udev_rules_tests). A second, shorter boot on Debian 12's userland (glibc 2.36, udev 252) runs
# the four programs whose outcome depends on the udev release (the driver's libudev monitor and
# its kernel monitor beside udevd, its unload, the rules), with 20 leak-test cycles. Each run's reported C library and udev versions count as a case.
# Writes "passed failed" (GoogleTest cases, read from the programs' XML results) into
# build/extra-results/vm.count. A VM that cannot be built or started, or a program without results,
# counts as a failure and prints the VM's log; there is no skip.
#   TOV_VM_CYCLES=200   connect/disconnect cycles of the leak test
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
cd "$root"

builddir=${TOV_VM_BUILD_DIR:-build/linux}
count=build/extra-results/vm.count
programs=(vm_uhid_tests vm_driver_tests vm_kernel_monitor_tests vm_unload_tests vm_devicecheck_tests vm_udev_rules_tests)
# Figures, printed in the log: no pass or fail, but a bench that fails or prints nothing counts as one failure.
benches=(vm_bench)
mkdir -p build/extra-results
echo "0 1" >"$count"  # until the results say otherwise
start=$SECONDS

log=build/vm-step.log
if ! { cmake --preset linux -B "$builddir" >"$log" 2>&1 &&
       cmake --build "$builddir" -j"${TOV_JOBS:-$(nproc)}" --target VDTOVUSB tovusb-devicecheck tovusb-setup "${programs[@]}" "${benches[@]}" >>"$log" 2>&1; }; then
  grep -E "error|Error" "$log" | head -20
  echo "vm: build failed (see $log)"
  exit 1
fi

# The userland of the thin clients we support at the oldest: Debian 11's C library, loader, udevd
# (udev 247) and libudev, from the root the linux preset is built against.
sysroot=$(bash scripts/linux-sysroot.sh amd64) || { echo "vm: no Debian 11 root"; exit 1; }

# vm_run NAME OUT [run.sh options]: boots the VM once with the files above and runs every program
# copied into /tov/programs and /tov/bench; its console goes to build/NAME-console.log and its
# output to build/NAME-output.log. First it prints the C library's and udev's versions.
files=(--file "$builddir/driver/VDTOVUSB.DLL:/tov/VDTOVUSB.DLL")
# The setup installs the driver beside it (vm_udev_rules_tests).
files+=(--file "$builddir/setup/linux/app/tovusb-setup:/tov/tovusb-setup")
files+=(--file tests/vm/run-in-vm.sh:/tov/run-in-vm.sh)
files+=(--file "$builddir/devicecheck/linux/app/tovusb-devicecheck:/tov/tovusb-devicecheck")
vm_run() {
  local name=$1 out=$2; shift 2
  rm -rf "$out"; mkdir -p "$out"
  # The cycle count reaches the VM through the runner's command line.
  scripts/vm/run.sh --udev --timeout 1800 --out "$out" --log "build/$name-console.log" "${files[@]}" "$@" \
    sh -c "/lib/x86_64-linux-gnu/libc.so.6 | head -1; udevadm --version; TOV_VM_CYCLES=${TOV_VM_CYCLES:-200} exec sh /tov/run-in-vm.sh" \
    2>&1 | tee "build/$name-output.log"
  return "${PIPESTATUS[0]}"
}

# Every program and bench on the old userland.
out=build/vm-results
all=()
for p in "${programs[@]}"; do all+=(--file "$builddir/tests/vm/$p:/tov/programs/$p"); done
for b in "${benches[@]}"; do all+=(--file "$builddir/tests/vm/$b:/tov/bench/$b"); done
vm_run vm-step "$out" --libroot "$sysroot" "${all[@]}"
rc=$?
# Debian 12's userland (this machine's libraries, its udev 252) as on the newer systems, for the
# programs whose outcome depends on the udev release: the driver (libudev's monitor, and the
# kernel's beside udevd), its unload and the rules.
new_out=build/vm-results-debian12
new_programs=(vm_driver_tests vm_kernel_monitor_tests vm_unload_tests vm_udev_rules_tests)
some=()
for p in "${new_programs[@]}"; do some+=(--file "$builddir/tests/vm/$p:/tov/programs/$p"); done
TOV_VM_CYCLES=20 vm_run vm-step-debian12 "$new_out" "${some[@]}"
new_rc=$?

# Each program's cases from its XML results; a program without results counts as one failure.
passed=0; failed=0
userland() {  # userland NAME OUTPUT-LOG LIBC-VERSION UDEV-VERSION: the VM ran on that userland
  if grep -q "release version $3\.$" "$2" && grep -Eqx "$4( .*)?" "$2"; then passed=$((passed + 1))
  else echo "vm: the $1 run did not report glibc $3 and udev $4"; failed=$((failed + 1)); fi
}
userland "Debian 11" build/vm-step-output.log 2.31 247
userland "Debian 12" build/vm-step-debian12-output.log "$(ldd --version | sed -n '1s/.* //p')" \
  "$(sed -n 's/^udev_\([0-9]*\)[.-].*/\1/p' <<<"$(basename "$(ls build/vm/debs/udev_*.deb | tail -1)")")"
for entry in "${programs[@]/#/$out/}" "${new_programs[@]/#/$new_out/}"; do
  p=$(basename "$entry"); xml=$entry.xml
  if [ ! -s "$xml" ]; then
    echo "vm: $p left no results"
    failed=$((failed + 1)); continue
  fi
  # A case that ran has status="run" (disabled ones "notrun"); a failed one holds <failure>.
  read -r ran bad < <(awk '
      /<testcase / { current = ($0 ~ /status="run"/); if (current) ran++; counted = 0 }
      /<failure/ { if (current && !counted) { bad++; counted = 1 } }
      END { print ran + 0, bad + 0 }' "$xml")
  passed=$((passed + ran - bad)); failed=$((failed + bad))
done
for b in "${benches[@]}"; do
  if [ ! -s "$out/$b.txt" ] || [ "$(cat "$out/$b.rc" 2>/dev/null)" != 0 ]; then
    echo "vm: $b failed or printed nothing (exit $(cat "$out/$b.rc" 2>/dev/null || echo none))"
    failed=$((failed + 1))
  fi
done
if { [ "$rc" -ne 0 ] || [ "$new_rc" -ne 0 ]; } && [ "$failed" -eq 0 ]; then failed=1; fi
echo "$passed $failed" >"$count"
echo "vm: $passed passed, $failed failed ($((SECONDS - start)) s with the build)"
[ "$failed" -eq 0 ]
