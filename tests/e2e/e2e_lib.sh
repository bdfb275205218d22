#!/usr/bin/env bash
# Helpers shared by the end-to-end checks: screenshots, polling for windows and for the
# program's end, and pixel counts on the last screenshot in client coordinates.
# The sourcing script sets out, and keeps vorla_pid, last_shot, ox and oy up to date.

step=0
vorla_pid=
last_shot=

log() { echo "e2e: $*"; }
fail() {
    echo "e2e: FAILED: $*" >&2
    shot failure || true
    [ -n "$vorla_pid" ] && kill "$vorla_pid" 2>/dev/null || true
    exit 1
}
shot() {
    step=$((step + 1))
    last_shot=$(printf '%s/%02d-%s.png' "$out" "$step" "$1")
    import -window root "$last_shot"
}

# Polls for a visible window whose name matches; prints its id.
wait_window() {
    local pattern=$1 seconds=${2:-30} id
    for ((i = 0; i < seconds * 10; i++)); do
        id=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -n 1 || true)
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        sleep 0.1
    done
    return 1
}

wait_gone() {
    local pattern=$1 seconds=${2:-30}
    for ((i = 0; i < seconds * 10; i++)); do
        xdotool search --onlyvisible --name "$pattern" >/dev/null 2>&1 || return 0
        sleep 0.1
    done
    return 1
}

# Waits for Vorla to end; its exit code goes to exit_code.
wait_exit() {
    local seconds=${1:-30}
    for ((i = 0; i < seconds * 10; i++)); do
        if ! kill -0 "$vorla_pid" 2>/dev/null; then
            exit_code=0
            wait "$vorla_pid" || exit_code=$?
            vorla_pid=
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# Number of pixels of the last screenshot, in a client rectangle, for which the ImageMagick
# expression on r, g, b (0..1) holds.
count_pixels() {
    local x=$1 y=$2 w=$3 h=$4 expr=$5
    convert "$last_shot" -crop "${w}x${h}+$((ox + x))+$((oy + y))" +repage -fx "$expr" \
        -format '%[fx:round(mean*w*h)]' info:
}

# Client x where the dark text of a client rectangle of the last screenshot ends.
text_end() {
    local x=$1 y=$2 w=$3 h=$4 box
    box=$(convert "$last_shot" -crop "${w}x${h}+$((ox + x))+$((oy + y))" +repage -fx "$is_dark" -format '%@' info:)
    [[ $box =~ ^([0-9]+)x[0-9]+\+([0-9]+)\+ ]] || fail "no text in row at y $y ($box)"
    echo $((x + BASH_REMATCH[2] + BASH_REMATCH[1]))
}

is_black='r<0.02 && g<0.02 && b<0.02'
is_dark='r<0.5 && g<0.5 && b<0.5' # text, smoothed or not
is_pure_red='r>0.98 && g<0.02 && b<0.02'
is_pressure_red='r>0.98 && g<0.85 && b<0.85 && abs(g-b)<0.02'
is_blue='r<0.02 && g<0.02 && b>0.98'
is_yellow='r>0.98 && g>0.98 && b<0.02'

# The client area's origin on screen (ox, oy), from the tool line: its blue character cells
# start at client (10, 100) and fill one line of the default font, within its row.
locate_client() {
    local box
    box=$(convert "$last_shot" -fx "$is_blue" -format '%@' info:)
    [[ $box =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || fail "no tool line found ($box)"
    local w=${BASH_REMATCH[1]} h=${BASH_REMATCH[2]}
    ox=$((BASH_REMATCH[3] - 10))
    oy=$((BASH_REMATCH[4] - 100))
    log "tool line box ${w}x${h}, client origin at ($ox, $oy)"
    [ "$h" -ge 10 ] && [ "$h" -le 18 ] || fail "tool line should be one row high, found $h"
    [ "$w" -gt 300 ] || fail "tool line too short: $w"
}

move_to() { xdotool mousemove "$((ox + $1))" "$((oy + $2))"; }

# S, then a mouse move (the repaint it asks for runs the import) opens the file dialog; it is
# left focused for the keys that follow.
open_file_dialog() {
    xdotool key s
    move_to 520 420
    move_to 530 430
    local dialog
    dialog=$(wait_window 'ファイルを開く' 30) || fail "the open dialog did not appear"
    sleep 1
    xdotool windowfocus "$dialog" 2>/dev/null || true
}

# Types the path into the file dialog, accepts, and waits until the import has written its
# line to test.txt in the first run's folder.
import_through_dialog() {
    open_file_dialog
    shot open-dialog
    xdotool type --delay 10 "$1"
    sleep 0.3
    shot path-typed
    xdotool key Return
    wait_gone 'ファイルを開く' 30 || fail "the open dialog did not close"
    for ((i = 0; i < 100; i++)); do
        grep -q '( 100, 50)' "$out/run1/test.txt" && break
        sleep 0.1
    done
    sleep 0.5
    shot imported
}
