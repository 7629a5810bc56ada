#!/bin/sh
# Runs inside the VM (busybox sh, udevd running): every test program in /tov/programs with its
# GoogleTest results as /out/<program>.xml, one after the other. Exits non-zero when one fails.
status=0
for program in /tov/programs/*; do
  name=$(basename "$program")
  echo "=== $name"
  "$program" --gtest_color=no --gtest_output="xml:/out/$name.xml" || status=1
done
exit $status
