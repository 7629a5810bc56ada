#!/bin/sh
# Runs inside the VM (busybox sh, udevd running): every test program in /tov/programs with its
# GoogleTest results as /out/<program>.xml, one after the other, then every bench in /tov/bench with
# its output printed and kept as /out/<bench>.txt and its exit status as /out/<bench>.rc (vm.sh
# judges those). Exits non-zero when a test program fails.
status=0
# The programs that load the driver run as the session user and write their results here too.
chmod 1777 /out
for program in /tov/programs/*; do
  name=$(basename "$program")
  echo "=== $name"
  "$program" --gtest_color=no --gtest_output="xml:/out/$name.xml" || status=1
done
for bench in /tov/bench/*; do
  [ -e "$bench" ] || continue
  name=$(basename "$bench")
  echo "=== $name"
  "$bench" >"/out/$name.txt" 2>&1
  echo $? >"/out/$name.rc"
  cat "/out/$name.txt"
done
exit $status
