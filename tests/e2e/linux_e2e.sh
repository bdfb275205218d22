#!/usr/bin/env bash
# End-to-end check of the Linux program: the Qt window under an X server, started in a fresh
# folder, clicked, dragged and typed at with xdotool, judged from screenshots and "test.txt".
# Usage: linux_e2e.sh VORLA X11_CLOSE OUTPUT_FOLDER   (inside an X server, QT_QPA_PLATFORM=xcb)
set -euo pipefail

exe=$(realpath "$1")
closer=$(realpath "$2")
out=$(realpath -m "$3")
rm -rf "$out"
mkdir -p "$out/run1" "$out/run2"
source "$(dirname "$0")/e2e_lib.sh"

start_vorla() {
    local folder=$1
    (cd "$folder" && exec "$exe") &
    vorla_pid=$!
    main_id=$(wait_window '^Realtime Vorla$' 60) || fail "the main window did not appear"
    # No window manager runs here to give the new window the keyboard.
    xdotool windowfocus "$main_id" 2>/dev/null || true
    sleep 1
}

# A 100 x 50 bottom-up 24-bit bitmap: white, one black column at x 50, one yellow pixel.
convert -size 100x50 xc:white -fill black -draw 'line 50,0 50,49' -fill yellow -draw 'point 10,20' \
    -type TrueColor BMP3:"$out/run1/small.bmp"

# ---- First run: the whole tour, then the close box.
log "run 1 in $out/run1"
start_vorla "$out/run1"
shot start
locate_client
[ -f "$out/run1/test.txt" ] || fail "test.txt was not created"
[ ! -s "$out/run1/test.txt" ] || fail "test.txt is not empty at start"
geometry=$(xdotool getwindowgeometry "$main_id" | tr '\n' ' ')
log "window: $geometry"
[[ $geometry =~ Geometry:\ 1024x768 ]] || fail "the window should be 1024 x 768: $geometry"
screen=$(xdotool getdisplaygeometry)
expected_x=$(((${screen% *} - 1024) / 2))
[[ $geometry =~ Position:\ $expected_x, ]] || fail "the window should be centred (x $expected_x): $geometry"

help_dark=$(count_pixels 610 10 380 108 "$is_dark")
tool_blue=$(count_pixels 10 100 400 18 "$is_blue")
log "help lines: $help_dark dark pixels; tool line: $tool_blue blue pixels"
[ "$help_dark" -gt 800 ] || fail "help lines not drawn"
[ "$tool_blue" -gt 2000 ] || fail "tool line not drawn"
[ "$(count_pixels 10 64 600 18 "$is_pure_red")" -eq 0 ] || fail "timing line drawn before any source"

# Right click in the field: a pulse spreads from the point and the timing line appears; Space
# right after it holds the ring near the point for the screenshot.
move_to 500 400
xdotool click 3
sleep 0.3
xdotool key space
sleep 0.5
shot right-click
red=$(count_pixels 350 250 300 300 "$is_pressure_red")
timing=$(count_pixels 10 64 600 18 "$is_pure_red")
log "around the click: $red red pixels; timing line: $timing red pixels"
[ "$red" -gt 200 ] || fail "no red pressure around the right click"
[ "$timing" -gt 1000 ] || fail "timing line missing"
# Running again, the field must move: the time-step line changes between two screenshots.
xdotool key space
sleep 0.3
shot running-a
before=$(convert "$last_shot" -crop "300x18+$((ox + 10))+$((oy + 46))" +repage -format '%#' info:)
sleep 0.5
shot running-b
after=$(convert "$last_shot" -crop "300x18+$((ox + 10))+$((oy + 46))" +repage -format '%#' info:)
[ "$before" != "$after" ] || fail "the time-step line did not change while running"

# A straight line with the line tool: a wall, black once the field is drawn again.
xdotool key l
move_to 300 250
xdotool mousedown 1
for x in 330 360 390 420; do
    move_to "$x" 250
    sleep 0.15
done
sleep 0.3
shot dragging
xdotool mouseup 1
sleep 1.5
shot line
walls=$(count_pixels 305 249 110 3 "$is_black")
log "wall pixels along the line: $walls"
[ "$walls" -ge 200 ] || fail "the line did not become a black wall"

# Pause, then import the bitmap through the file dialog.
xdotool key space
sleep 0.3
import_through_dialog "$out/run1/small.bmp"
[ "$(cat "$out/run1/test.txt")" = "( 100, 50)" ] || fail "test.txt should hold ( 100, 50): $(od -c "$out/run1/test.txt")"
yellow=$(count_pixels 138 166 1 1 "$is_yellow")
column=$(count_pixels 178 146 1 50 "$is_black")
log "imported bitmap: yellow source pixel $yellow, black column $column of 50"
[ "$yellow" -eq 1 ] || fail "the bitmap's yellow pixel is not at client (138, 166)"
[ "$column" -eq 50 ] || fail "the bitmap's black column is not at client x 178"

# The close box: WM_CLOSE, the window goes, exit code 0.
"$closer" "$main_id"
wait_exit 30 || fail "Vorla did not end after the close request"
log "run 1 exit code $exit_code"
[ "$exit_code" -eq 0 ] || fail "exit code $exit_code after closing"

# ---- Second run: cancelling the dialog shows "エラー" and ends the program.
step=20
log "run 2 in $out/run2"
start_vorla "$out/run2"
shot start-2
locate_client
xdotool key s
move_to 400 400
move_to 410 410
dialog=$(wait_window 'ファイルを開く' 30) || fail "the open dialog did not appear in run 2"
sleep 0.5
xdotool windowfocus "$dialog" 2>/dev/null || true
xdotool key Escape
box=$(wait_window '^エラー$' 30) || fail "no error message after cancelling"
sleep 0.5
shot cancel-message
xdotool windowfocus "$box" 2>/dev/null || true
xdotool key Return
wait_exit 30 || fail "Vorla did not end after the cancel message"
log "run 2 exit code $exit_code"
[ "$exit_code" -eq 0 ] || fail "exit code $exit_code after the cancel path"
[ ! -s "$out/run2/test.txt" ] || fail "test.txt should stay empty after a cancelled import"

log "passed; screenshots in $out"
