#!/usr/bin/env bash
# Fuzzes the driver's inputs: builds the native-fuzz preset (clang, ASan+UBSan, libFuzzer) and runs
# each fuzz target on a copy of its seed corpus in tests/fuzz/<target>/, sharing TOV_FUZZ_SECONDS
# (default 100; 0 skips the step) among them:
#   dispatch_fuzzer     server blocks into the dispatcher                    35 %
#   report_fuzzer       input reports of every product through decoding      13 %
#   button_map_fuzzer   HardwareButtonMap.ini contents through its parser    13 %
#   driver_list_fuzzer  the setup program's VirtualDriverEx list edit       13 %
#   codec_fuzzer        record bytes through the channel's codec            13 %
#   descriptor_fuzzer   HID report descriptors through the hidraw parser     13 %
# Crash inputs are kept in build/fuzz-artifacts/. Writes "passed failed" (one per target) into
# build/extra-results/fuzz.count for the final count, and exits non-zero when the build fails or a
# fuzzer finds a fault.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
cd "$root"

seconds=${TOV_FUZZ_SECONDS:-100}
builddir=${TOV_FUZZ_BUILD_DIR:-build/native-fuzz}
count=build/extra-results/fuzz.count
mkdir -p build/extra-results
rm -f "$count"
if [ "$seconds" = 0 ]; then
  echo "fuzz: skipped (TOV_FUZZ_SECONDS=0)"
  exit 0
fi

targets=(dispatch_fuzzer:35 report_fuzzer:13 button_map_fuzzer:13 driver_list_fuzzer:13 codec_fuzzer:13
         descriptor_fuzzer:13)
names=("${targets[@]%%:*}")

log=build/fuzz.log
if ! { cmake --preset native-fuzz -B "$builddir" >"$log" 2>&1 &&
       cmake --build "$builddir" -j"${TOV_JOBS:-$(nproc)}" --target "${names[@]}" >>"$log" 2>&1; }; then
  grep -E "error|Error" "$log" | head -20
  echo "fuzz: build failed (see $log)"
  echo "0 ${#names[@]}" >"$count"
  exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tovusb-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p build/fuzz-artifacts
passed=0; failed=0
for entry in "${targets[@]}"; do
  name=${entry%%:*}
  share=$(( seconds * ${entry##*:} / 100 ))
  [ "$share" -ge 1 ] || share=1
  program=$(find "$builddir/tools" -type f -name "$name" -perm -u+x | head -1)
  cp -r "tests/fuzz/$name" "$work/$name"
  echo "fuzz: $name for ${share} s"
  # The fuzzer's working folder is the temporary one: the driver's log files are not created there.
  (cd "$work" && "$root/$program" -max_total_time="$share" -timeout=60 -rss_limit_mb=4096 \
      -print_final_stats=1 -artifact_prefix="$root/build/fuzz-artifacts/$name-" "$name") >"$work/$name.log" 2>&1
  rc=$?
  grep -E "^#[0-9]+ +DONE|stat::number_of_executed_units|ERROR|SUMMARY" "$work/$name.log" | head -20
  if [ $rc -ne 0 ]; then
    tail -60 "$work/$name.log"
    cp "$work/$name.log" "build/fuzz-failure-$name.log"
    echo "fuzz: $name FAILED (exit $rc); crash input in build/fuzz-artifacts/, log in build/fuzz-failure-$name.log"
    failed=$((failed + 1))
  else
    passed=$((passed + 1))
  fi
done
echo "$passed $failed" >"$count"
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
