#!/usr/bin/env bash
# vorla-replay as a user runs it: help, a good script, a bad one, and the same bytes twice.
set -u
replay=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() { if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; failures=$((failures + 1)); fi; }

"$replay" --help >"$work/help.txt"; rc=$?
check "--help exits 0" "[ $rc -eq 0 ]"
check "--help describes the verbs" "grep -q 'probe X Y' '$work/help.txt'"
version=$("$replay" --version); rc=$?
check "--version prints the name and version: $version" \
  "[ $rc -eq 0 ] && [[ '$version' =~ ^vorla-replay\ [0-9]+\.[0-9]+$ ]]"

cat >"$work/good.vrs" <<'SCRIPT'
key F          # a sine source
rdown 400 400
rup 400 400
probe 410 400
tick 2
save mid       # the grids as they stand after two repaints
tick 3
SCRIPT
"$replay" --frames "$work/frames" "$work/good.vrs" "$work/out" >"$work/hashes.txt"; rc=$?
check "a good script exits 0" "[ $rc -eq 0 ]"
for f in pressure.f64 velocity_x.f64 velocity_y.f64 medium_mask.i32 cell_color.i32; do
  case $f in *.f64) bytes=8 ;; *) bytes=4 ;; esac
  check "$f has 1024 x 768 values" "[ \$(stat -c %s '$work/out/$f') -eq $((1024 * 768 * bytes)) ]"
  check "$f hash printed" "grep -q \"^\$(sha256sum '$work/out/$f' | cut -d' ' -f1)  $f\$\" '$work/hashes.txt'"
done
check "state.json, client.png, test.txt written" \
  "[ -s '$work/out/state.json' ] && [ -s '$work/out/client.png' ] && [ -e '$work/out/test.txt' ]"
check "probe rows: header and 40 steps" "[ \$(wc -l <'$work/out/probe_410_400.csv') -eq 41 ]"
check "probe wav: 44-byte header and 40 samples" "[ \$(stat -c %s '$work/out/probe_410_400.wav') -eq 124 ]"
check "save wrote the grids of its moment" \
  "[ \$(stat -c %s '$work/out/mid/pressure.f64') -eq $((1024 * 768 * 8)) ] && grep -q '\"time_step\": 16,' '$work/out/mid/state.json' && ! cmp -s '$work/out/mid/pressure.f64' '$work/out/pressure.f64'"
check "five frames" "[ \$(ls '$work/frames' | wc -l) -eq 5 ]"
"$replay" "$work/good.vrs" "$work/out2" >"$work/hashes2.txt"
check "same script, same bytes" "cmp -s '$work/hashes.txt' '$work/hashes2.txt' && cmp -s '$work/out/state.json' '$work/out2/state.json' && cmp -s '$work/out/client.png' '$work/out2/client.png'"

"$replay" --engine reference "$work/good.vrs" "$work/plain" >"$work/hashes3.txt"; rc=$?
check "--engine reference gives the same bytes" "[ $rc -eq 0 ] && cmp -s '$work/hashes.txt' '$work/hashes3.txt' && cmp -s '$work/out/probe_410_400.csv' '$work/plain/probe_410_400.csv'"
"$replay" --engine=fastest "$work/good.vrs" "$work/none" 2>"$work/err.txt"; rc=$?
check "an unknown engine exits 2 and names the engines" "[ $rc -eq 2 ] && grep -q 'reference, portable' '$work/err.txt' && [ ! -e '$work/none' ]"

printf 'rdown 500 400\nrup 500 400\ntick 126\n' >"$work/long.vrs"
"$replay" --memory-log "$work/memory.txt" "$work/long.vrs" "$work/long" >/dev/null; rc=$?
check "--memory-log: a line at 1,000 steps and one at the end" \
  "[ $rc -eq 0 ] && [ \$(wc -l <'$work/memory.txt') -eq 2 ] && grep -Eq '^time_step=100[0-9] peak_rss_kib=[1-9][0-9]* rss_kib=[1-9][0-9]*$' '$work/memory.txt' && tail -n 1 '$work/memory.txt' | grep -q '^time_step=1008 '"
"$replay" --memory-log="$work/short.txt" "$work/good.vrs" "$work/short" >/dev/null
check "--memory-log: a session under 1,000 steps gets the end line alone" \
  "[ \$(wc -l <'$work/short.txt') -eq 1 ] && grep -q '^time_step=40 ' '$work/short.txt'"

printf 'tick 2\nwobble 1 2\n' >"$work/bad.vrs"
"$replay" "$work/bad.vrs" "$work/bad" 2>"$work/err.txt"; rc=$?
check "an unknown verb exits 2" "[ $rc -eq 2 ]"
check "the message names file and line" "grep -q 'bad.vrs:2: unknown verb' '$work/err.txt'"
check "nothing written after the error" "[ ! -e '$work/bad' ]"
printf 'bitmap missing.bmp\n' >"$work/missing.vrs"
"$replay" "$work/missing.vrs" "$work/missing" 2>/dev/null; rc=$?
check "a missing file exits 2" "[ $rc -eq 2 ] && [ ! -e '$work/missing' ]"

echo "$failures failed"
[ $failures -eq 0 ]
