#!/usr/bin/env bash
# Takes the screenshots of docs/ADMINISTRATORS.md: the setup dialog (on a PC without the ICA
# Client, after a successful install, and after an install on a PC with the 64-bit ICA Client) and
# the device check with a simulated hand-set. Runs the real TovaroCitrixVCClientSetup.exe under Xvfb with Wine's X11
# graphics driver, in a Wine prefix of its own (build/wineprefix-x11), so the shared headless
# prefix keeps its null driver. Writes docs/screenshots/*.png.
#   TOV_BUILD=build/win32   the win32 build folder holding the program (built here if needed);
#                           build/win64 takes the 64-bit copy of the program, for hosts that run
#                           64-bit programs only (the dialog is the same)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
build=$(realpath -m "${TOV_BUILD:-$root/build/win32}")
out=$root/docs/screenshots
export WINEPREFIX=$root/build/wineprefix-x11
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

if [ -z "${TOV_SCREENSHOTS_IN_XVFB:-}" ]; then
  [ -f "$build/CMakeCache.txt" ] || cmake --preset "$(basename "$build")" -B "$build" >/dev/null
  cmake --build "$build" --target TovaroCitrixVCClientSetup TovaroCitrixVCDeviceCheckSim -j2 >/dev/null
  # The real driver file when it builds; the setup program only copies it, never loads it.
  cmake --build "$build" --target TovaroCitrixVC -j2 >/dev/null 2>&1 || true
  mkdir -p "$out"
  TOV_SCREENSHOTS_IN_XVFB=1 TOV_BUILD=$build exec xvfb-run -a -s "-screen 0 1024x768x24" "$0"
fi

program=$(find "$build/setup" -name TovaroCitrixVCClientSetup.exe | head -1)
driver=$(find "$build/driver" -name TovaroCitrixVC.dll | head -1 || true)
cc=i686-w64-mingw32-gcc
wine=wine
if grep -q 'TOV_ARCH.*x86_64\|CMAKE_SYSTEM_PROCESSOR:.*x86_64' "$build/CMakeCache.txt" 2>/dev/null ||
   file "$program" | grep -q x86-64; then
  cc=x86_64-w64-mingw32-gcc
  # Hosts that run 64-bit code only cannot start Wine's 32-bit loader.
  /usr/lib/wine/wine --version >/dev/null 2>&1 || wine=/usr/lib/wine/wine64
fi
wine() { "$wine" "$@"; }

# A small helper that clicks a button of a window, as a person would (BM_CLICK), and returns once
# the click was handled; "close" instead of a button id chooses Close from the system menu and
# waits until the window is gone; "select ID INDEX" selects a line of a list box as a click does;
# "sim TEXT" sends the simulation build of the device check one of its commands (WM_COPYDATA).
helper=$build/screenshots/click.exe
mkdir -p "$(dirname "$helper")"
cat >"$build/screenshots/click.c" <<'C'
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
int main(int argc, char** argv) {
    HWND window = NULL;
    int i;
    if (argc < 3) return 2;
    for (i = 0; i < 200 && !(window = FindWindowA(NULL, argv[1])); ++i) Sleep(50);
    if (!window) return 1;
    if (lstrcmpA(argv[2], "select") == 0 && argc == 5) {
        HWND list = GetDlgItem(window, atoi(argv[3]));
        SendMessageA(list, LB_SETCURSEL, (WPARAM)atoi(argv[4]), 0);
        SendMessageA(window, WM_COMMAND, MAKEWPARAM(atoi(argv[3]), LBN_SELCHANGE), (LPARAM)list);
        return 0;
    }
    if (lstrcmpA(argv[2], "sim") == 0 && argc == 4) {
        COPYDATASTRUCT copy;
        copy.dwData = 0x54535631;  /* the device check's simulation command tag */
        copy.cbData = (DWORD)lstrlenA(argv[3]);
        copy.lpData = argv[3];
        LRESULT result = SendMessageA(window, WM_COPYDATA, 0, (LPARAM)&copy);
        printf("%ld\n", (long)result);
        return result > 0 ? 0 : 1;
    }
    if (argc != 3) return 2;
    if (lstrcmpA(argv[2], "close") == 0) {
        PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        for (i = 0; i < 200 && IsWindow(window); ++i) Sleep(50);
        return IsWindow(window) ? 1 : 0;
    }
    SendMessageA(GetDlgItem(window, atoi(argv[2])), BM_CLICK, 0, 0);
    return 0;
}
C
$cc -O2 -o "$helper" "$build/screenshots/click.c"

if [ ! -f "$WINEPREFIX/.tov-x11-ready" ]; then
  wine wineboot -i >/dev/null 2>&1 || true
  wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d x11 /f >/dev/null 2>&1
  # Wine draws the caption and frame itself: there is no window manager under Xvfb.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.tov-x11-ready"
fi

drive_c=$WINEPREFIX/drive_c
stage=$drive_c/TovUSB
client="$drive_c/Program Files/Citrix/ICA Client"
client64="$drive_c/Program Files/Citrix/ICA Client 64"
rm -rf "$stage" "$client" "$client64"
mkdir -p "$stage/x64" "$client" "$client64"
cp "$program" "$stage/"
if [ -n "$driver" ]; then cp "$driver" "$stage/"; else printf 'MZ' >"$stage/TovaroCitrixVC.dll"; fi
modules='HKLM\SOFTWARE\Citrix\ICA Client\Engine\Configuration\Advanced\Modules'
x64_driver=$(find "$build" -path '*x64-build/driver/TovaroCitrixVC.dll' | head -1 || true)
[ -n "$x64_driver" ] || x64_driver=$(find "$root/build/win64/driver" -name TovaroCitrixVC.dll 2>/dev/null | head -1 || true)
if [ -n "$x64_driver" ]; then cp "$x64_driver" "$stage/x64/"; else printf 'MZ' >"$stage/x64/TovaroCitrixVC.dll"; fi
unregister() {
  wine reg delete 'HKLM\SOFTWARE\Citrix' /reg:32 /f >/dev/null 2>&1 || true
  wine reg delete 'HKLM\SOFTWARE\Citrix' /reg:64 /f >/dev/null 2>&1 || true
}
unregister

caption=TovaroCitrixVCClientSetup
shoot() {  # shoot <png>: waits for the dialog and saves its window
  local id="" i
  for i in $(seq 1 100); do
    id=$(xwininfo -root -tree 2>/dev/null | grep -F "\"$caption\"" | awk '{print $1}' | head -1 || true)
    [ -n "$id" ] && break
    sleep 0.1
  done
  [ -n "$id" ] || { echo "the dialog did not appear" >&2; return 1; }
  sleep 1.5  # let Wine finish painting
  import -window "$id" "$1"
  echo "wrote $1"
}
run_program() { (cd "$stage" && wine "C:\\TovUSB\\TovaroCitrixVCClientSetup.exe" >/dev/null 2>&1 &) ; }
close_program() { wine "Z:$helper" "$caption" close >/dev/null 2>&1 || true; }

# 1. A PC without the ICA Client.
run_program
shoot "$out/setup-without-ica-client.png"
close_program

# 2. The ICA Client present; Install clicked.
wine reg add 'HKLM\SOFTWARE\Citrix\Install\ICA Client' /reg:32 /v InstallFolder /d 'C:\Program Files\Citrix\ICA Client\' /f >/dev/null
wine reg add "$modules\\ICA 3.0" /reg:32 /v VirtualDriverEx /d 'Thinwire3.0, ClientDrive' /f >/dev/null
run_program
wine "Z:$helper" "$caption" 1013
shoot "$out/setup-after-install.png"
close_program
unregister

# 3. Only the 64-bit ICA Client (its keys in the 64-bit view); Install clicked.
wine reg add 'HKLM\SOFTWARE\Citrix\Install\ICA Client' /reg:64 /v InstallFolder /d 'C:\Program Files\Citrix\ICA Client 64\' /f >/dev/null
wine reg add "$modules\\ICA 3.0" /reg:64 /v VirtualDriverEx /d 'Thinwire3.0, ClientDrive' /f >/dev/null
run_program
wine "Z:$helper" "$caption" 1013
shoot "$out/setup-after-install-64bit-client.png"
close_program

# 4. The device check (its simulation build) with the channel registered for the 64-bit client:
# a SpeechMike III plugged and selected, its button 3 pressed and released.
caption="TovaroCitrixVCDeviceCheck (simulated devices)"
check=$(find "$build/devicecheck" -name TovaroCitrixVCDeviceCheckSim.exe | head -1)
cp "$check" "$stage/"
(cd "$stage" && wine "C:\\TovUSB\\TovaroCitrixVCDeviceCheckSim.exe" >/dev/null 2>&1 &)
mike=$(wine "Z:$helper" "$caption" sim "plug SpeechMikeIII" 2>/dev/null | tr -d '\r') ||
  { echo "the device check did not take the simulated hand-set" >&2; exit 1; }
wine "Z:$helper" "$caption" select 1031 0
# The hand-set's button report: byte 1 bit 0x80 marks it, byte 9 bit 0x01 is hardware button 3.
wine "Z:$helper" "$caption" sim "report $mike 00 80 00 00 00 00 00 00 00 01" >/dev/null 2>&1 || true
wine "Z:$helper" "$caption" sim "report $mike 00 80 00 00 00 00 00 00 00 00" >/dev/null 2>&1 || true
shoot "$out/devicecheck-handset-button.png"
close_program
unregister
wineserver -k >/dev/null 2>&1 || true
