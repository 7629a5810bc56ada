#!/usr/bin/env bash
# Builds every target and runs every test; ends with the counts of all test cases.
#   TOV_PRESETS="native win32"  limits the targets (default: all)
#   TOV_FUZZ_SECONDS=60        how long the fuzzer runs (0 skips it)
#   TOV_SOAK_SECONDS=...       longer soak runs on request
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
cd "$root"

presets=${TOV_PRESETS:-"native native-asan native-tsan win32 win64"}
jobs=${TOV_JOBS:-$(nproc)}
status=0
failed_steps=()

export WINEPREFIX=${TOV_WINEPREFIX:-$root/build/wineprefix}
export WINEDEBUG=-all
cleanup() { wineserver -k >/dev/null 2>&1 || true; }
trap cleanup EXIT

for preset in $presets; do
  echo "=== $preset: configure and build"
  rm -f build/"$preset"/test-results/*.xml
  if ! cmake --preset "$preset" >"build/$preset.configure.log" 2>&1 && ! { mkdir -p build && cmake --preset "$preset" >"build/$preset.configure.log" 2>&1; }; then
    cat "build/$preset.configure.log"; status=1; failed_steps+=("$preset:configure"); continue
  fi
  if ! cmake --build "build/$preset" -j"$jobs" >"build/$preset.build.log" 2>&1; then
    grep -E "error|Error" "build/$preset.build.log" | head -40
    status=1; failed_steps+=("$preset:build"); continue
  fi
  case $preset in win*)
    # One persistent wineserver for the whole run saves its start-up for every test program.
    "$root/scripts/wine-run" cmd /c exit >/dev/null 2>&1 || true
    wineserver -p >/dev/null 2>&1 || true ;;
  esac
  echo "=== $preset: tests"
  if ! ctest --test-dir "build/$preset" -j"$jobs" --output-on-failure --timeout 900; then
    status=1; failed_steps+=("$preset:tests")
  fi
done

# Optional extra steps that later parts of the project add (fuzzing, soak): each is a script in
# scripts/test-steps/ that exits non-zero on failure.
if [ -d scripts/test-steps ]; then
  for step in scripts/test-steps/*.sh; do
    [ -e "$step" ] || continue
    echo "=== $(basename "$step" .sh)"
    if ! bash "$step"; then status=1; failed_steps+=("$(basename "$step" .sh)"); fi
  done
fi

bash "$here/count-tests.sh" build "$presets"
if [ ${#failed_steps[@]} -gt 0 ]; then
  echo "failed steps: ${failed_steps[*]}"
fi
exit $status
