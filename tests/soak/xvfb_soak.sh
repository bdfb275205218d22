#!/usr/bin/env bash
# The Linux program fed random mouse and key input with xdotool for SECONDS (inside an X
# server, QT_QPA_PLATFORM=xcb): drags of every tool on and off the window, right and double
# clicks, every key of the key table but S (its dialog would wait for a file), Esc, Del, Space.
# Passes when the program is still running at the end, then closes with exit code 0 from the
# close box, and its resident set at the end is within LIMIT_KIB (default 4096) of the one a
# fifth of the way in. VmRSS is sampled every 2 s into OUTPUT_FOLDER/rss.txt.
# Usage: xvfb_soak.sh VORLA X11_CLOSE SECONDS OUTPUT_FOLDER [SEED]
set -euo pipefail
exe=$(realpath "$1")
closer=$(realpath "$2")
seconds=$3
out=$(realpath -m "$4")
RANDOM=${5:-2026}
limit_kib=${VORLA_SOAK_RSS_LIMIT_KIB:-4096}
rm -rf "$out"
mkdir -p "$out"

(cd "$out" && exec "$exe") &
pid=$!
trap 'kill "$pid" 2>/dev/null || true' EXIT
window=
for ((i = 0; i < 600; i++)); do
    window=$(xdotool search --onlyvisible --name '^Realtime Vorla$' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || { echo "soak: FAILED: no window"; exit 1; }
xdotool windowfocus "$window" 2>/dev/null || true

rss() { awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status"; }
at() { xdotool mousemove --window "$window" -- "$1" "$2"; }
# Mostly inside the client area, now and then off an edge of it.
x() { if ((RANDOM % 8 == 0)); then echo $((RANDOM % 1300 - 150)); else echo $((RANDOM % 1024)); fi; }
y() { if ((RANDOM % 8 == 0)); then echo $((RANDOM % 1000 - 150)); else echo $((RANDOM % 768)); fi; }
keys=(j l r e t f 1 2 3 space Escape Delete j l r e a Left KP_1 shift+r)

start=$SECONDS
baseline=
next_sample=0
actions=0
: >"$out/rss.txt"
while ((SECONDS - start < seconds)); do
    kill -0 "$pid" 2>/dev/null || { echo "soak: FAILED: the program ended after $((SECONDS - start)) s"; exit 1; }
    if ((SECONDS - start >= next_sample)); then
        echo "$((SECONDS - start)) $(rss)" >>"$out/rss.txt"
        next_sample=$((next_sample + 2))
        if [ -z "$baseline" ] && ((SECONDS - start >= seconds / 5)); then
            baseline=$(rss)
        fi
    fi
    case $((RANDOM % 6)) in
    0 | 1) # a drag
        at "$(x)" "$(y)"
        xdotool mousedown 1
        for ((m = RANDOM % 4; m >= 0; m--)); do
            at "$(x)" "$(y)"
            sleep 0.02
        done
        xdotool mouseup 1 ;;
    2) at "$(x)" "$(y)"; xdotool click 3 ;;
    3) at "$(x)" "$(y)"; xdotool click --repeat 2 --delay 30 $((RANDOM % 2 ? 1 : 3)) ;;
    *) xdotool key "${keys[RANDOM % ${#keys[@]}]}" ;;
    esac
    actions=$((actions + 1))
    sleep 0.02
done
end=$(rss)
[ -n "$baseline" ] || baseline=$end
echo "soak: $actions input actions in $seconds s; resident set ${baseline} KiB at $((seconds / 5)) s, ${end} KiB at the end: $((end - baseline)) KiB"
"$closer" "$window"
for ((i = 0; i < 300; i++)); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
code=0
wait "$pid" || code=$?
trap - EXIT
[ "$code" -eq 0 ] || { echo "soak: FAILED: exit code $code after the close box"; exit 1; }
[ $((end - baseline)) -le "$limit_kib" ] || { echo "soak: FAILED: the resident set grew by $((end - baseline)) KiB"; exit 1; }
echo "soak: closed with exit code 0"
