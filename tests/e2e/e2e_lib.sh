#!/usr/bin/env bash
# Helpers shared by the end-to-end checks: screenshots, polling for windows, for the screen and
# for the program's end, and pixel counts on the last screenshot in client coordinates.
# The sourcing script sets out, and keeps vorla_pid, last_shot, ox and oy up to date.
# Nothing here may depend on how fast the machine runs: conditions are polled with generous
# timeouts, and what a screenshot judges is either paused or still there however far the
# field has run.

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

# Polls the screen until the command given holds for the screenshot in last_shot; keeps that
# screenshot as the next step, named NAME. Fails after SECONDS.
wait_for_screen() {
    local name=$1 seconds=$2
    shift 2
    local until=$((SECONDS + seconds))
    while :; do
        last_shot="$out/polling.png"
        import -window root "$last_shot"
        "$@" && break
        [ "$SECONDS" -lt "$until" ] || return 1
        sleep 0.3
    done
    step=$((step + 1))
    local kept
    kept=$(printf '%s/%02d-%s.png' "$out" "$step" "$name")
    mv "$last_shot" "$kept"
    last_shot=$kept
}

# A hash of a client rectangle of the last screenshot, to tell whether it changed.
region_hash() {
    convert "$last_shot" -crop "${3}x${4}+$((ox + $1))+$((oy + $2))" +repage -format '%#' info:
}

# The bounding box "x0 y0 x1 y1" (client coordinates, inclusive) of the pressure colours, red
# or blue, in the field window; empty when there are none.
pressure_box() {
    local box
    box=$(convert "$last_shot" -crop "768x576+$((ox + 128))+$((oy + 146))" +repage \
        -fx 'abs(r-b)>0.1' -format '%@' info:)
    [[ $box =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || return 0
    [ "${BASH_REMATCH[1]}" -gt 0 ] || return 0
    local x0=$((128 + BASH_REMATCH[3])) y0=$((146 + BASH_REMATCH[4]))
    echo "$x0 $y0 $((x0 + BASH_REMATCH[1] - 1)) $((y0 + BASH_REMATCH[2] - 1))"
}

# Checks that the field ran no faster than the Windows timer lets it: a pulse clicked at (x, y)
# and paused SECONDS_RUN later (measured around the clicks, so an over-estimate; 0.15 s more for
# the program to see the pause) has spread at most half a cell per step, 8 steps per tick and
# at most 100 ticks a second (SetTimer's 10 ms minimum). The radius, less the Gaussian's visible
# tail, gives a lower bound of the steps run; a slow machine only makes it smaller.
check_pace() {
    local x=$1 y=$2 seconds_run=$3 box
    box=$(pressure_box)
    [ -n "$box" ] || fail "no pressure in the field to measure the pace by"
    read -r x0 y0 x1 y1 <<<"$box"
    local radius=$((x - x0))
    for d in $((x1 - x)) $((y - y0)) $((y1 - y)); do
        [ "$d" -gt "$radius" ] && radius=$d
    done
    local steps=$((2 * (radius > 20 ? radius - 20 : 0)))
    local allowed
    allowed=$(awk -v t="$seconds_run" 'BEGIN { printf "%d", 800 * (t + 0.15) + 40 }')
    log "pace: ring radius $radius cells, about $steps steps in ${seconds_run} s (at most $allowed allowed)"
    [ "$steps" -le "$allowed" ] || fail "the field ran faster than 100 repaints a second"
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

# Types the path into the file dialog, accepts, and waits until the import has ended: the bitmap
# on the screen (its yellow pixel at client (138, 166)) and the judged line, black on white,
# over the red wait line in row 3. The log is read only after the program has ended, as
# Windows lets nobody read a file opened with fopen_s.
import_through_dialog() {
    open_file_dialog
    shot open-dialog
    xdotool type --delay 10 "$1"
    sleep 0.3
    shot path-typed
    xdotool key Return
    wait_gone 'ファイルを開く' 30 || fail "the open dialog did not close"
    wait_for_screen imported 60 import_ended || fail "the import did not end with the judged line"
}

import_ended() {
    [ "$(count_pixels 138 166 1 1 "$is_yellow")" -eq 1 ] &&
        [ "$(count_pixels 10 46 500 18 "$is_pure_red")" -eq 0 ] &&
        [ "$(count_pixels 10 46 500 18 "$is_dark")" -gt 200 ]
}

# S pressed and released with Alt held is a system key: no import starts and the tool line
# stays as it was. (F10 is one too, but on Windows it enters the window menu's loop, which then
# takes the keys that follow; the unit tests hold it.)
check_system_keys() {
    shot before-system-keys
    local tool_line
    tool_line=$(region_hash 10 100 600 18)
    # Held explicitly: "xdotool key alt+s" lets go of Alt before S.
    xdotool keydown alt
    xdotool key s
    xdotool keyup alt
    move_to 520 420
    move_to 530 430
    ! wait_window 'ファイルを開く' 3 >/dev/null || fail "Alt+S opened the file dialog"
    shot after-system-keys
    [ "$(region_hash 10 100 600 18)" = "$tool_line" ] || fail "Alt+S changed the tool"
    log "Alt+S: no dialog, tool unchanged"
}
