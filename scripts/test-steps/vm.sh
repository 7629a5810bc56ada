#!/usr/bin/env bash
# The shipping Linux driver on the real kernel HID stack: builds VDTOVUSB.DLL and the VM test
# programs (tests/vm) in the linux preset, boots the VM once with udevd (scripts/vm/run.sh) and runs
# every program there (tests/vm/run-in-vm.sh): the uhid/hidraw check of the VM itself
# (vm_uhid_tests), the driver in the simulated ICA Client against uhid devices (vm_driver_tests) and
# the shipping tovusb-devicecheck against uhid devices (vm_devicecheck_tests).
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
programs=(vm_uhid_tests vm_driver_tests vm_devicecheck_tests vm_udev_rules_tests)
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

out=build/vm-results
rm -rf "$out"
mkdir -p "$out"
files=(--file "$builddir/driver/VDTOVUSB.DLL:/tov/VDTOVUSB.DLL")
# The setup installs the driver beside it (vm_udev_rules_tests).
files+=(--file "$builddir/setup/linux/app/tovusb-setup:/tov/tovusb-setup")
for p in "${programs[@]}"; do files+=(--file "$builddir/tests/vm/$p:/tov/programs/$p"); done
for b in "${benches[@]}"; do files+=(--file "$builddir/tests/vm/$b:/tov/bench/$b"); done
files+=(--file tests/vm/run-in-vm.sh:/tov/run-in-vm.sh)
files+=(--file "$builddir/devicecheck/linux/app/tovusb-devicecheck:/tov/tovusb-devicecheck")
# The cycle count reaches the VM through the runner's command line.
scripts/vm/run.sh --udev --timeout 1800 --out "$out" --log build/vm-step-console.log "${files[@]}" \
  sh -c "TOV_VM_CYCLES=${TOV_VM_CYCLES:-200} exec sh /tov/run-in-vm.sh" 2>&1 | tee build/vm-step-output.log
rc=${PIPESTATUS[0]}

# Each program's cases from its XML results; a program without results counts as one failure.
passed=0; failed=0
for p in "${programs[@]}"; do
  xml=$out/$p.xml
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
if [ "$rc" -ne 0 ] && [ "$failed" -eq 0 ]; then failed=1; fi
echo "$passed $failed" >"$count"
echo "vm: $passed passed, $failed failed ($((SECONDS - start)) s with the build)"
[ "$failed" -eq 0 ]
