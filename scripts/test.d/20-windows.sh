#!/usr/bin/env bash
# The Windows program: cross-built with MinGW-w64, its test suite run under Wine, then the
# end-to-end check of vorla.exe under Wine, Xvfb and xdotool. Needs what scripts/install-deps
# installs; installs nothing itself.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
# Debian has MinGW-w64 and 64-bit Wine for x86-64 hosts only.
if [ "$(dpkg --print-architecture)" != amd64 ]; then
  echo "Not an x86-64 host: skipping the Windows build and its tests under Wine"
  exit 0
fi

cmake --preset mingw
cmake --build --preset mingw --parallel 2

# A fresh Wine prefix for every run, without the Mono and Gecko install prompts.
export WINEPREFIX=$root/build/mingw/wine-prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
rm -rf "$WINEPREFIX"
cleanup() { wineserver -k >/dev/null 2>&1 || true; }
trap cleanup EXIT

echo "== Wine prefix in $WINEPREFIX"
wineboot -i >/dev/null 2>&1
wineserver -w

# Japanese texts ("エラー", the load warning, the dialog's caption) fall back to VL PGothic
# from the fonts that dialogs, message boxes and captions use.
font_link='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
for face in "Tahoma" "MS Shell Dlg" "MS Shell Dlg 2" "Microsoft Sans Serif" "Segoe UI"; do
    wine reg add "$font_link" /v "$face" /t REG_MULTI_SZ /d "VL-PGothic-Regular.ttf,VL PGothic" /f >/dev/null 2>&1
done
# With no window manager under Xvfb, Wine draws the captions itself.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1

# The suite runs in a Wine virtual desktop: its windows are not X windows, so creating and
# destroying one per test does not wait on a window manager that is not there.
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1280x1024 /f >/dev/null 2>&1
wineserver -w

echo "== vorla_tests.exe under Wine"
mkdir -p build/wine-suite
g++ -O1 -o build/wine-suite/x11-hold-pointer tests/harness/x11_hold_pointer.cpp -lX11
xvfb-run -a -s "-screen 0 1280x1024x24" \
    tests/harness/wine_suite.sh build/wine-suite/x11-hold-pointer build/mingw/tests/vorla_tests.exe
wineserver -k >/dev/null 2>&1 || true
wineserver -w

# The program itself runs in real X windows, so xdotool can find and drive them.
wine reg delete 'HKCU\Software\Wine\Explorer' /v Desktop /f >/dev/null 2>&1
wineserver -w

echo "== end-to-end check of vorla.exe"
xvfb-run -a -s "-screen 0 1280x1024x24" \
    tests/e2e/windows_e2e.sh build/mingw/src/app/vorla.exe build/e2e-windows
