#!/usr/bin/env bash
# Adds up the GoogleTest result files of the given presets and prints the closing count line.
# A test program that crashed before writing its result file counts as one failed test.
set -uo pipefail
builddir=$1
presets=$2
passed=0; failed=0; skipped=0
for preset in $presets; do
  dir="$builddir/$preset/test-results"
  [ -d "$dir" ] || continue
  p=0; f=0; s=0
  for xml in "$dir"/*.xml; do
    [ -e "$xml" ] || continue
    head=$(grep -m1 -o '<testsuites [^>]*>' "$xml")
    t=$(sed -n 's/.* tests="\([0-9]*\)".*/\1/p' <<<"$head")
    fl=$(sed -n 's/.* failures="\([0-9]*\)".*/\1/p' <<<"$head")
    er=$(sed -n 's/.* errors="\([0-9]*\)".*/\1/p' <<<"$head")
    sk=$(grep -c 'result="skipped"' "$xml")
    t=${t:-0}; fl=${fl:-0}; er=${er:-0}
    p=$((p + t - fl - er - sk)); f=$((f + fl + er)); s=$((s + sk))
  done
  # Result files that ctest expected but that were never written: a crash counts as a failure.
  if [ -f "$builddir/$preset/Testing/Temporary/LastTestsFailed.log" ]; then
    while read -r line; do
      name=${line#*:}
      [ -e "$dir/$name.xml" ] || f=$((f + 1))
    done <"$builddir/$preset/Testing/Temporary/LastTestsFailed.log"
  fi
  printf '%-12s %5d passed, %d failed, %d skipped\n' "$preset" "$p" "$f" "$s"
  passed=$((passed + p)); failed=$((failed + f)); skipped=$((skipped + s))
done
for extra in "$builddir"/extra-results/*.count; do
  [ -e "$extra" ] || continue
  read -r ep ef <"$extra"
  printf '%-12s %5d passed, %d failed\n' "$(basename "$extra" .count)" "$ep" "$ef"
  passed=$((passed + ep)); failed=$((failed + ef))
done
echo "tests: $passed passed, $failed failed, $skipped skipped"
