#!/usr/bin/env bash
# A long scripted session: make_replay_soak.py's script of TICKS ticks (8 steps each) through
# vorla-replay with --memory-log. Passes when the session ran at least 8 steps a tick, its pressure and
# velocity grids end finite and its mask holds only 0 and 1, and the resident set at the end
# is within 1 MiB of the one after the first 1,000 steps.
# Usage: replay_soak.sh VORLA_REPLAY TICKS OUTPUT_FOLDER
set -euo pipefail
replay=$(realpath "$1")
ticks=$2
out=$(realpath -m "$3")
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$out"
mkdir -p "$out"
cp "$here/../../examples/room.bmp" "$out/room.bmp"
python3 "$here/make_replay_soak.py" "$ticks" room.bmp >"$out/soak.vrs"
echo "soak: $(grep -c . "$out/soak.vrs") script lines, $ticks ticks"
start=$SECONDS
"$replay" --memory-log "$out/memory.txt" "$out/soak.vrs" "$out/session" >/dev/null
echo "soak: session ran in $((SECONDS - start)) s"
cat "$out/memory.txt"
python3 - "$out" "$ticks" <<'PY'
import array, json, math, pathlib, sys
out, ticks = pathlib.Path(sys.argv[1]), int(sys.argv[2])
state = json.loads((out / "session" / "state.json").read_text())
failures = []
if state["closed"]:
    failures.append("the window closed")
# Every tick steps 8 times; the repaints after releases step too.
if state["time_step"] < 8 * ticks:
    failures.append("time_step %d, expected at least %d" % (state["time_step"], 8 * ticks))
for name in ("pressure", "velocity_x", "velocity_y"):
    values = array.array("d")
    values.frombytes((out / "session" / (name + ".f64")).read_bytes())
    bad = sum(1 for v in values if not math.isfinite(v))
    if bad:
        failures.append("%s: %d values not finite" % (name, bad))
mask = array.array("i")
mask.frombytes((out / "session" / "medium_mask.i32").read_bytes())
if set(mask) - {0, 1}:
    failures.append("medium_mask holds %s" % sorted(set(mask) - {0, 1})[:5])
lines = [dict(f.split("=") for f in l.split()) for l in (out / "memory.txt").read_text().split("\n") if l]
if len(lines) != 2:
    failures.append("memory log has %d lines, expected 2" % len(lines))
else:
    grown = int(lines[1]["rss_kib"]) - int(lines[0]["rss_kib"])
    print("soak: %d steps; resident set %s KiB after %s steps, %s KiB at the end (peak %s KiB): %+d KiB"
          % (state["time_step"], lines[0]["rss_kib"], lines[0]["time_step"], lines[1]["rss_kib"],
             lines[1]["peak_rss_kib"], grown))
    if abs(grown) > 1024:
        failures.append("the resident set changed by %d KiB" % grown)
for f in failures:
    print("soak: FAILED:", f)
sys.exit(1 if failures else 0)
PY
