#!/usr/bin/env bash
# The browser program: both builds, the core tests built to wasm and run under node (the
# wasm SIMD kernel and the portable one against the straightforward loops), then the tour in
# headless Chromium on the page served from 127.0.0.1:8000. Screenshots: build/web-tour/.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/web build
for preset in web web-portable; do
  cmake --build --preset "$preset" --target vorla_tests
  ctest --preset "$preset"
done

(cd tests/web && npm ci --no-audit --no-fund --loglevel=error)

# The first frame as the Linux layer draws it, for the tour to compare with the canvas.
replay=build/debug/tools/replay/vorla-replay
if [ ! -x "$replay" ]; then
  cmake --preset debug >/dev/null
  cmake --build --preset debug --target vorla-replay
fi
out=build/web-tour
rm -rf "$out"
mkdir -p "$out"
echo '# the first repaint only' >"$out/start.vrs"
"$replay" "$out/start.vrs" "$out/replay-start" >/dev/null

python3 -m http.server 8000 --bind 127.0.0.1 --directory build/web >"$out/server.log" 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  kill -0 "$server" 2>/dev/null || { cat "$out/server.log"; echo "the web server did not start (port 8000 taken?)"; exit 1; }
  (exec 3<>/dev/tcp/127.0.0.1/8000) 2>/dev/null && break
  sleep 0.1
done
node tests/web/tour.mjs http://127.0.0.1:8000/ "$out/replay-start/client.png" "$out"
