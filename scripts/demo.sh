#!/usr/bin/env bash
# The demo: the simulated ICA Client (engine_sim) loads the simulation build of the driver,
# TovaroCitrixVCSim.dll, under Wine and plays the session script tools/demo_session/demo.tovs: two
# devices plugged, the manager and a device opened by the server, buttons, LEDs, a device arriving
# and one leaving, and the driver's trace log at the end.
#   TOV_DEMO_PRESET=win32|win64|native  the build to run (default win32, the shipping architecture;
#                                      win64 on hosts that cannot execute 32-bit x86 code)
#   TOV_DEMO_SCRIPT=FILE               another session script (format: docs/DEVELOPING.md, "Session scripts")
#   TOV_DEMO_BUILD_DIR=DIR             the build folder (default build/<preset>)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
cd "$root"

# The shipping architecture is 32-bit. Wine runs a 32-bit program in a 32-bit Linux process, which a
# host whose kernel has no IA-32 emulation cannot start: there the demo runs the 64-bit build.
default_preset=win32
if [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ] || ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  default_preset=win64
  [ -n "${TOV_DEMO_PRESET:-}" ] ||
    echo "demo: this host cannot execute 32-bit x86 code; running the 64-bit build of the driver"
fi
preset=${TOV_DEMO_PRESET:-$default_preset}
script=${TOV_DEMO_SCRIPT:-tools/demo_session/demo.tovs}
builddir=${TOV_DEMO_BUILD_DIR:-build/$preset}
jobs=${TOV_JOBS:-$(nproc)}

echo "demo: building engine_sim and the simulation driver ($preset) ..."
mkdir -p build
if ! { cmake --preset "$preset" -B "$builddir" >"build/demo-$preset.configure.log" 2>&1 &&
       cmake --build "$builddir" -j"$jobs" --target engine_sim TovaroCitrixVCSim >"build/demo-$preset.build.log" 2>&1; }; then
  grep -E "error|Error" "build/demo-$preset.configure.log" "build/demo-$preset.build.log" | head -30
  echo "demo: the build failed (logs in build/demo-$preset.*.log)"
  exit 1
fi

case $preset in
  win*)
    export WINEDEBUG=-all
    exec "$root/scripts/wine-run" "$builddir/tools/engine_sim/engine_sim.exe" \
      --driver "$builddir/tools/simbus/TovaroCitrixVCSim.dll" --script "$script" ;;
  *)
    # Natively the log "c:\CitrixClient.log" is a file of that name in the working folder.
    mkdir -p "$builddir/demo"
    cd "$builddir/demo"
    exec "$root/$builddir/tools/engine_sim/engine_sim" --driver "$root/$builddir/tools/simbus/TovaroCitrixVCSim.so" \
      --script "$root/$script" ;;
esac
