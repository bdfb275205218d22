#!/usr/bin/env bash
# libFuzzer (clang, ASan, UBSan) over the bitmap loader, seeded with the BMP conformance suite
# and the hostile files, then over the replay script parser, seeded with the example scripts,
# the golden sessions, the scripts of the replay page and the bitmaps (as text that is not a
# script). VORLA_FUZZ_SECONDS (default 60) bounds each. Needs what scripts/install-deps installs.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${VORLA_FUZZ_SECONDS:-60}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target vorla_image_fuzz vorla_replay_script_fuzz
seeds=$(mktemp -d)
trap 'rm -rf "$seeds"' EXIT
mkdir "$seeds/bmp" "$seeds/vrs"
if [ -d ../shared/bmp-corpus ]; then
  find ../shared/bmp-corpus -name '*.bmp' -size -300k -exec cp {} "$seeds/bmp/" \;
fi
echo "== libFuzzer over bitmap loading, $(ls "$seeds/bmp" | wc -l) seed files"
build/fuzz/tests/fuzz/vorla_image_fuzz -max_total_time="$seconds" \
    -rss_limit_mb=4096 -max_len=65536 -print_final_stats=1 -artifact_prefix=build/fuzz/ \
    "$seeds/bmp" 2>&1 | tail -n 12

cp examples/*.vrs tests/soak/*.vrs "$seeds/vrs/" 2>/dev/null || true
python3 - "$seeds/vrs" tests/replay/golden_test.cpp tests/replay/hostile_input_test.cpp \
    docs/replay.md <<'PY'
import pathlib, re, sys
out = pathlib.Path(sys.argv[1])
n = 0
for name in sys.argv[2:]:
    path = pathlib.Path(name)
    if not path.exists():
        continue
    text = path.read_text(encoding="utf-8")
    pattern = r"R\"\((.*?)\)\"" if name.endswith(".cpp") else r"```vrs(?:-error)?\n(.*?)```"
    for script in re.findall(pattern, text, re.S):
        n += 1
        (out / f"{path.stem}-{n}.vrs").write_text(script, encoding="utf-8")
PY
find "$seeds/bmp" -name '*.bmp' -size -8k | head -n 20 | xargs -r cp -t "$seeds/vrs/"
echo "== libFuzzer over the replay script parser, $(ls "$seeds/vrs" | wc -l) seed files"
# From the seeds' folder, so that relative paths in them ("room.bmp") resolve now and then.
(cd "$seeds/vrs" && "$OLDPWD/build/fuzz/tests/fuzz/vorla_replay_script_fuzz" \
    -max_total_time="$seconds" -rss_limit_mb=4096 -max_len=4096 -print_final_stats=1 \
    -artifact_prefix="$OLDPWD/build/fuzz/" -dict="$OLDPWD/tests/fuzz/replay_script.dict" . \
    2>&1 | tail -n 12)
