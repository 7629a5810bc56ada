#!/bin/sh
# The shipping driver holds nothing of the simulated HID bus: no bus entry points in its export
# table and no named-pipe server calls among its imports.
# Usage: check-no-bus.sh <objdump> <module>
objdump=$1
module=$2
dump=$("$objdump" -p "$module") || { echo "cannot read $module"; exit 1; }
bad=$(printf '%s\n' "$dump" | grep -E 'TovSim_|TovPlatform_|CreateNamedPipe|ConnectNamedPipe|DisconnectNamedPipe')
if [ -n "$bad" ]; then
  echo "simulation found in $module:"
  printf '%s\n' "$bad"
  exit 1
fi
# It does reach the real devices.
for name in HidD_GetAttributes SetupDiGetClassDevsA RegisterDeviceNotificationA; do
  printf '%s\n' "$dump" | grep -q "$name" || { echo "$module does not import $name"; exit 1; }
done
echo "no simulated bus in $module"
