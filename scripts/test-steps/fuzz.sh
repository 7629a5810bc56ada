#!/usr/bin/env bash
# Fuzzes the dispatcher's receive path: builds the native-fuzz preset (clang, ASan+UBSan, libFuzzer)
# and runs dispatch_fuzzer for TOV_FUZZ_SECONDS (default 60; 0 skips the step) on a copy of the seed
# corpus in tests/fuzz/corpus. Crash inputs are kept in build/fuzz-artifacts/. Writes "1 0" (passed,
# failed) or "0 1" into build/extra-results/fuzz.count for the final count, and exits non-zero when
# the build fails or the fuzzer finds a fault.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
cd "$root"

seconds=${TOV_FUZZ_SECONDS:-60}
builddir=${TOV_FUZZ_BUILD_DIR:-build/native-fuzz}
count=build/extra-results/fuzz.count
mkdir -p build/extra-results
rm -f "$count"
if [ "$seconds" = 0 ]; then
  echo "fuzz: skipped (TOV_FUZZ_SECONDS=0)"
  exit 0
fi

result() {  # passed failed
  echo "$1 $2" >"$count"
}

log=build/fuzz.log
if ! { cmake --preset native-fuzz -B "$builddir" >"$log" 2>&1 &&
       cmake --build "$builddir" -j"${TOV_JOBS:-$(nproc)}" --target dispatch_fuzzer >>"$log" 2>&1; }; then
  grep -E "error|Error" "$log" | head -20
  echo "fuzz: build failed (see $log)"
  result 0 1
  exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tovusb-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT
cp -r tests/fuzz/corpus "$work/corpus"
mkdir -p build/fuzz-artifacts
echo "fuzz: dispatch_fuzzer for ${seconds} s"
# The fuzzer's working folder is the temporary one: the driver's log files are not created there.
(cd "$work" && "$root/$builddir/tools/dispatch_fuzzer/dispatch_fuzzer" \
    -max_total_time="$seconds" -timeout=60 -rss_limit_mb=4096 -print_final_stats=1 \
    -artifact_prefix="$root/build/fuzz-artifacts/" corpus) >"$work/run.log" 2>&1
rc=$?
grep -E "^#[0-9]+ +DONE|stat::number_of_executed_units|ERROR|SUMMARY" "$work/run.log" | head -20
if [ $rc -ne 0 ]; then
  tail -60 "$work/run.log"
  cp "$work/run.log" build/fuzz-failure.log
  echo "fuzz: FAILED (exit $rc); crash input in build/fuzz-artifacts/, log in build/fuzz-failure.log"
  result 0 1
  exit 1
fi
echo "fuzz: passed"
result 1 0
exit 0
