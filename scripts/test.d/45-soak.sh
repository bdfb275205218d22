#!/usr/bin/env bash
# Long runs, short by default (about five minutes): a generated vorla-replay session of
# VORLA_SOAK_TICKS ticks (default 1,250, 10,000 steps) whose grids must end finite and whose
# resident set must hold still after the first 1,000 steps; then the Linux program under Xvfb,
# and the Windows program under Wine, each fed random input with imports for
# 30 s of warm-up and VORLA_SOAK_SECONDS (default 60): neither may end, grow in memory or
# keep more GDI objects.
# The full run: VORLA_SOAK_TICKS=12500 VORLA_SOAK_SECONDS=600. Output in build/soak.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${VORLA_SOAK_SECONDS:-60}

cmake --preset debug >/dev/null
cmake --build --preset debug --target vorla-replay vorla-soak
mkdir -p build/soak
g++ -O1 -o build/soak/x11-close tests/e2e/x11_close.cpp -lX11

echo "== replay soak"
tests/soak/replay_soak.sh build/debug/tools/replay/vorla-replay "${VORLA_SOAK_TICKS:-1250}" \
    build/soak/replay
echo "== the Linux program under random input"
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" \
    tests/soak/xvfb_soak.sh build/debug/tests/vorla-soak build/soak/x11-close "$seconds" \
    build/soak/xvfb

# Debian has MinGW-w64 and 64-bit Wine for x86-64 hosts only.
if [ "$(dpkg --print-architecture)" != amd64 ]; then
    echo "Not an x86-64 host: no soak of the Windows program"
    exit 0
fi
cmake --preset mingw >/dev/null
cmake --build --preset mingw --target vorla-soak
# A prefix of its own, with Wine's windows as real X windows for xdotool.
export WINEPREFIX=$PWD/build/soak/wine-prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
cleanup() { wineserver -k >/dev/null 2>&1 || true; }
trap cleanup EXIT
if [ ! -d "$WINEPREFIX" ]; then
    wineboot -i >/dev/null 2>&1
    # With no window manager under Xvfb, Wine draws the captions itself.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    wineserver -w
fi
echo "== the Windows program under Wine and random input"
xvfb-run -a -s "-screen 0 1280x1024x24" \
    tests/soak/xvfb_soak.sh build/mingw/tests/vorla-soak.exe build/soak/x11-close "$seconds" \
    build/soak/wine
