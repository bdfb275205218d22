#!/usr/bin/env bash
# A minute of libFuzzer over the bitmap loader (clang, ASan, UBSan), seeded with the BMP
# conformance suite and the hostile files. Needs what scripts/install-deps installs.
set -euo pipefail
cd "$(dirname "$0")/../.."

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target vorla_image_fuzz
seeds=$(mktemp -d)
trap 'rm -rf "$seeds"' EXIT
if [ -d ../shared/bmp-corpus ]; then
  find ../shared/bmp-corpus -name '*.bmp' -size -300k -exec cp {} "$seeds/" \;
fi
echo "== libFuzzer over bitmap loading, $(ls "$seeds" | wc -l) seed files"
build/fuzz/tests/fuzz/vorla_image_fuzz -max_total_time="${VORLA_FUZZ_SECONDS:-60}" \
    -rss_limit_mb=4096 -max_len=65536 -print_final_stats=1 -artifact_prefix=build/fuzz/ "$seeds" 2>&1 | tail -n 12
