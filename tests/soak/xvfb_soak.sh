#!/usr/bin/env bash
# The program fed random mouse and key input with xdotool for SECONDS, inside an X server:
# the Linux one (QT_QPA_PLATFORM=xcb), or the Windows one under Wine when PROGRAM ends in
# .exe (WINEPREFIX ready, Wine's windows real X windows). Input: drags of every tool on and
# off the window, right and double clicks, every key of the key table, Esc, Del, Space; S
# only every 20 s (VORLA_SOAK_IMPORT_EVERY), from the start, its file dialog answered with
# one of two small bitmaps (cancelling it would end the program). PROGRAM is tests'
# vorla-soak, which writes its GDI object count (and with glibc its heap in use) every 2 s to
# OUTPUT_FOLDER/gdi.txt; VmRSS is sampled every 2 s into rss.txt.
# The first WARMUP seconds (VORLA_SOAK_WARMUP, default 30) are not judged: Wine's dialog,
# fonts and caches settle there. Passes when the program is still running at the end, then
# closes with exit code 0 from the close box; its resident set at the end is within LIMIT_KIB
# (default 4096) of the one after the warm-up; and its lowest GDI count over the last 20 s is
# no higher than the lowest over the 20 s after the warm-up (a count read mid-repaint or with
# the dialog open holds the repaint's objects too). Qt keeps some 23 KiB of every file dialog
# it has shown (Qt 6.4, measured with Qt alone), so on Linux imports add that much each.
# Usage: xvfb_soak.sh PROGRAM X11_CLOSE SECONDS OUTPUT_FOLDER [SEED]
set -euo pipefail
exe=$(realpath "$1")
closer=$(realpath "$2")
seconds=$3
out=$(realpath -m "$4")
RANDOM=${5:-2026}
limit_kib=${VORLA_SOAK_RSS_LIMIT_KIB:-4096}
warmup=${VORLA_SOAK_WARMUP:-30}
import_every=${VORLA_SOAK_IMPORT_EVERY:-20}
rm -rf "$out"
mkdir -p "$out"
failed() { # with a screenshot of the moment
    echo "soak: FAILED: $1"
    import -window root "$out/failure.png" 2>/dev/null || true
    exit 1
}

export VORLA_RESOURCE_LOG=$out/gdi.txt
if [[ $exe == *.exe ]]; then
    (cd "$out" && exec wine "$exe") &
else
    (cd "$out" && exec "$exe") &
fi
pid=$!
trap 'kill "$pid" 2>/dev/null || true' EXIT
window=
for ((i = 0; i < 600; i++)); do
    window=$(xdotool search --onlyvisible --name '^Realtime Vorla$' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || failed "no window"
xdotool windowfocus "$window" 2>/dev/null || true
# Wine's loader becomes the program itself: the same process either way.
rss() {
    awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status" 2>/dev/null ||
        { echo "soak: FAILED: the program ended" >&2; exit 1; }
}
at() { xdotool mousemove --window "$window" -- "$1" "$2"; }
# Presses land inside the client area: under Wine the window's X window holds the caption
# Wine draws, whose buttons would minimize or close it. Moves, during drags too, go now and
# then off an edge of the window.
inside_x() { echo $((10 + RANDOM % 980)); }
inside_y() { echo $((40 + RANDOM % 660)); }
x() { if ((RANDOM % 8 == 0)); then echo $((RANDOM % 1300 - 150)); else inside_x; fi; }
y() { if ((RANDOM % 8 == 0)); then echo $((RANDOM % 1000 - 150)); else inside_y; fi; }
keys=(j l r e t f 1 2 3 space Escape Delete j l r e a Left KP_1 shift+r)

convert -size 100x50 xc:white -fill black -draw 'line 50,0 50,49' -type TrueColor BMP3:"$out/a.bmp"
convert -size 300x200 xc:white -fill black -draw 'rectangle 20,20 120,90' -type TrueColor \
    BMP3:"$out/b.bmp"
imports=0
import_bitmap() {
    local file=$out/a.bmp dialog= attempt
    ((imports % 2 == 0)) || file=$out/b.bmp
    [[ $exe != *.exe ]] || file="Z:$(echo "$file" | tr / '\\')"
    # S only records the request; the repaint a move asks for opens the dialog.
    for attempt in 1 2 3; do
        xdotool windowfocus "$window" 2>/dev/null || true
        xdotool key s
        at 500 400
        at 510 410
        for ((i = 0; i < 200; i++)); do
            dialog=$(xdotool search --onlyvisible --name 'ファイルを開く' 2>/dev/null | head -n 1 || true)
            [ -n "$dialog" ] && break 2
            sleep 0.1
        done
    done
    [ -n "$dialog" ] || failed "no open dialog after S"
    sleep 0.5
    xdotool windowfocus "$dialog" 2>/dev/null || true
    xdotool type --delay 10 "$file"
    sleep 0.2
    xdotool key Return
    for ((i = 0; i < 300; i++)); do
        xdotool search --onlyvisible --name 'ファイルを開く' >/dev/null 2>&1 || break
        sleep 0.1
    done
    xdotool windowfocus "$window" 2>/dev/null || true
    imports=$((imports + 1))
}

start=$SECONDS
baseline=
next_sample=0
next_import=0
actions=0
: >"$out/rss.txt"
while ((SECONDS - start < warmup + seconds)); do
    kill -0 "$pid" 2>/dev/null || failed "the program ended after $((SECONDS - start)) s"
    if ((SECONDS - start >= next_sample)); then
        echo "$((SECONDS - start)) $(rss)" >>"$out/rss.txt"
        next_sample=$((next_sample + 2))
        if [ -z "$baseline" ] && ((SECONDS - start >= warmup)); then
            baseline=$(rss)
        fi
    fi
    if ((SECONDS - start >= next_import)); then
        import_bitmap
        next_import=$((next_import + import_every))
    fi
    case $((RANDOM % 6)) in
    0 | 1) # a drag
        at "$(inside_x)" "$(inside_y)"
        xdotool mousedown 1
        for ((m = RANDOM % 4; m >= 0; m--)); do
            at "$(x)" "$(y)"
            sleep 0.02
        done
        xdotool mouseup 1 ;;
    2) at "$(inside_x)" "$(inside_y)"; xdotool click 3 ;;
    3) at "$(inside_x)" "$(inside_y)"; xdotool click --repeat 2 --delay 30 $((RANDOM % 2 ? 1 : 3)) ;;
    *) xdotool key "${keys[RANDOM % ${#keys[@]}]}" ;;
    esac
    actions=$((actions + 1))
    sleep 0.02
done
end=$(rss)
[ -n "$baseline" ] || baseline=$end
echo "soak: $actions input actions and $imports imports in $warmup + $seconds s; resident set ${baseline} KiB after the warm-up, ${end} KiB at the end: $((end - baseline)) KiB"
# Ten samples, 20 s: from the end of the warm-up, and the last ten.
lines=$(wc -l <"$out/gdi.txt")
lowest() { awk -v a="$1" -v b="$2" 'NR >= a && NR < b && (n == "" || $2 < n) { n = $2 } END { print n }' "$out/gdi.txt"; }
gdi_first=$(awk 'NR == 1 { print $2 }' "$out/gdi.txt")
gdi_base=$(lowest $((warmup / 2 + 1)) $((warmup / 2 + 11)))
gdi_end=$(lowest $((lines - 9)) $((lines + 1)))
echo "soak: GDI objects $gdi_first at the start, lowest $gdi_base over 20 s after the warm-up, lowest $gdi_end over the last 20 s"
[ -n "$gdi_base" ] && [ -n "$gdi_end" ] || failed "no GDI counts in $out/gdi.txt"
heap_base=$(awk -v a=$((warmup / 2 + 1)) 'NR == a { print $3 }' "$out/gdi.txt")
heap_end=$(awk 'END { print $3 }' "$out/gdi.txt")
[ -z "$heap_end" ] || echo "soak: heap in use ${heap_base} KiB after the warm-up, ${heap_end} KiB at the end"

"$closer" "$window"
for ((i = 0; i < 300; i++)); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
code=0
wait "$pid" || code=$?
trap - EXIT
[ "$code" -eq 0 ] || failed "exit code $code after the close box"
[ $((end - baseline)) -le "$limit_kib" ] || failed "the resident set grew by $((end - baseline)) KiB"
[ "$gdi_end" -le "$gdi_base" ] || failed "GDI objects rose from $gdi_base to $gdi_end"
echo "soak: closed with exit code 0"
