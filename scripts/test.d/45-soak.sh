#!/usr/bin/env bash
# Long runs, short by default (about a minute): a generated vorla-replay session of
# VORLA_SOAK_TICKS ticks (default 1,250, 10,000 steps) whose grids must end finite and whose
# resident set must hold still after the first 1,000 steps; then the Linux program under Xvfb
# fed random input for VORLA_SOAK_SECONDS (default 30), which must neither end nor grow.
# The full run: VORLA_SOAK_TICKS=12500 VORLA_SOAK_SECONDS=300. Output in build/soak.
set -euo pipefail
cd "$(dirname "$0")/../.."

cmake --preset debug >/dev/null
cmake --build --preset debug --target vorla vorla-replay
mkdir -p build/soak
g++ -O1 -o build/soak/x11-close tests/e2e/x11_close.cpp -lX11

echo "== replay soak"
tests/soak/replay_soak.sh build/debug/tools/replay/vorla-replay "${VORLA_SOAK_TICKS:-1250}" \
    build/soak/replay
echo "== the Linux program under random input"
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" \
    tests/soak/xvfb_soak.sh build/debug/vorla build/soak/x11-close "${VORLA_SOAK_SECONDS:-30}" \
    build/soak/xvfb
