#!/usr/bin/env bash
# Builds every target and runs every test; ends with the counts of all test cases. CTest runs each
# test case as a test of its own and writes build/<preset>/junit.xml; the counts come from those
# files and from the extra steps (build/extra-results/<step>.count: "passed failed").
#   TOV_PRESETS="native win32"  limits the targets (default: all)
#   TOV_FUZZ_SECONDS=60        how long the fuzzer runs (0 skips it)
#   TOV_SOAK_SECONDS=...       longer soak runs on request
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
cd "$root"

mkdir -p build
presets=${TOV_PRESETS:-"native native-asan native-tsan linux linux-arm64 linux-armhf win32 win64"}
jobs=${TOV_JOBS:-$(nproc)}
status=0
failed_steps=()

export WINEPREFIX=${TOV_WINEPREFIX:-$root/build/wineprefix}
export WINEDEBUG=-all
cleanup() { wineserver -k >/dev/null 2>&1 || true; }
trap cleanup EXIT

# Wine runs a 32-bit Windows program in a 32-bit Linux process. A host whose kernel has no IA-32
# emulation cannot start one ("Exec format error"); emulating it with qemu-user made every Wine start
# take a minute and crashed programs with several threads. On such a host the win32 build is still
# built and checked without Wine (module images, the archive), and the counts say which of its test
# programs did not run and why; the same sources run their tests in the win64 build.
runs_32bit_wine() {
  [ ! -e /proc/sys/fs/binfmt_misc/qemu-i386 ] && /usr/lib/wine/wine --version >/dev/null 2>&1
}
win32_not_run_reason="this host cannot execute 32-bit x86 code (no IA-32 emulation in its kernel)"

# The Windows builds are signed with a throw-away certificate authority's code-signing certificate,
# so every Windows test runs on the signed files and tests/signing verifies them against that CA.
# The password reaches CMake through the environment, never a command line.
sign_dir=$root/build/signing-test
sign_options=()
case " $presets " in *" win"*)
  if bash "$here/test-signing-certificate.sh" "$sign_dir"; then
    sign_options=(-DTOV_SIGN_PFX="$sign_dir/tovusb-test.pfx" -DTOV_SIGN_VERIFY_CA="$sign_dir/ca.pem")
  else
    status=1; failed_steps+=("signing-certificate")
  fi ;;
esac

for preset in $presets; do
  echo "=== $preset: configure and build"
  rm -f "build/$preset/junit.xml" "build/$preset.unlisted"
  options=()
  case $preset in
    win32) if runs_32bit_wine; then options=(-DTOV_RUN_WINDOWS_TESTS=ON); else
             echo "=== win32: test programs are built but not run: $win32_not_run_reason"
             options=(-DTOV_RUN_WINDOWS_TESTS=OFF); fi ;;
    win*) options=(-DTOV_RUN_WINDOWS_TESTS=ON) ;;
  esac
  case $preset in win*)
    if [ ${#sign_options[@]} -gt 0 ]; then
      options+=("${sign_options[@]}")
      TOV_SIGN_PASSWORD=$(cat "$sign_dir/password"); export TOV_SIGN_PASSWORD
    fi ;;
  esac
  cmake --preset "$preset" "${options[@]}" >"build/$preset.configure.log" 2>&1
  rc=$?
  unset TOV_SIGN_PASSWORD
  if [ "$rc" -ne 0 ]; then
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
  start=$SECONDS
  ctest --test-dir "build/$preset" -j"$jobs" --output-on-failure --timeout 900 \
        --output-junit "$root/build/$preset/junit.xml" 2>&1 | tee "build/$preset.test.log"
  rc=${PIPESTATUS[0]}
  # A program whose case list could not be read adds no cases: CTest names the error but may
  # still exit 0, so the error itself fails the step.
  if grep -q "CMake Error\|Error running test executable" "build/$preset.test.log"; then
    touch "build/$preset.unlisted"; rc=1
  fi
  if [ "$rc" -ne 0 ]; then
    status=1; failed_steps+=("$preset:tests")
  fi
  echo "=== $preset: tests took $((SECONDS - start)) s"
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

# Counts of one preset's JUnit file: passed, failed (a case that did not run for any other reason
# than its own skip counts as failed; a preset without results or with a program whose cases could
# not be listed adds one failure), skipped.
junit_counts() {
  local xml=build/$1/junit.xml unlisted=0
  if [ ! -f "$xml" ]; then echo "0 1 0"; return; fi
  [ -e "build/$1.unlisted" ] && unlisted=1
  awk -v unlisted=$unlisted '
    /<testcase / { total++ }
    /<testcase .*status="fail"/ { failed++ }
    /<testcase .*status="run"/ { passed++ }
    /<skipped message="SKIP_REGULAR_EXPRESSION_MATCHED"/ { skipped++ }
    END { printf "%d %d %d\n", passed, total - passed - skipped + unlisted, skipped }' "$xml"
}

passed=0; failed=0; skipped=0
for preset in $presets; do
  read -r p f s < <(junit_counts "$preset")
  printf '%-12s %5d passed, %d failed, %d skipped\n' "$preset" "$p" "$f" "$s"
  if [ -s "build/$preset/not-run-programs.txt" ]; then
    echo "             built, not run: $(tr '\n' ' ' <"build/$preset/not-run-programs.txt")"
    echo "             because $win32_not_run_reason"
  fi
  passed=$((passed + p)); failed=$((failed + f)); skipped=$((skipped + s))
done
for extra in build/extra-results/*.count; do
  [ -e "$extra" ] || continue
  read -r ep ef <"$extra"
  printf '%-12s %5d passed, %d failed\n' "$(basename "$extra" .count)" "$ep" "$ef"
  passed=$((passed + ep)); failed=$((failed + ef))
done
if [ ${#failed_steps[@]} -gt 0 ]; then
  echo "failed steps: ${failed_steps[*]}"
fi
echo "tests: $passed passed, $failed failed, $skipped skipped"
exit $status
