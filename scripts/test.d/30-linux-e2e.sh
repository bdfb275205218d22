#!/usr/bin/env bash
# The Linux program end to end: the Qt window under Xvfb (xcb), driven with xdotool, judged
# from screenshots (kept in build/e2e-linux) and "test.txt". Needs what scripts/install-deps
# installs; installs nothing itself.
set -euo pipefail
cd "$(dirname "$0")/../.."

cmake --preset debug >/dev/null
cmake --build --preset debug --target vorla
mkdir -p build/e2e-linux
# Closes a window as a window manager's close box would; none runs under Xvfb.
g++ -O1 -o build/e2e-linux/x11-close tests/e2e/x11_close.cpp -lX11

echo "== end-to-end check of the Linux program"
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" \
    tests/e2e/linux_e2e.sh build/debug/vorla build/e2e-linux/x11-close build/e2e-linux/screens
