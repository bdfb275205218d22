#!/usr/bin/env bash
# End-to-end check of the Linux program: the Qt window under an X server, started in a fresh
# folder, clicked, dragged and typed at with xdotool, judged from screenshots and "test.txt".
# Usage: linux_e2e.sh VORLA X11_CLOSE OUTPUT_FOLDER   (inside an X server, QT_QPA_PLATFORM=xcb)
set -euo pipefail

exe=$(realpath "$1")
closer=$(realpath "$2")
out=$(realpath -m "$3")
rm -rf "$out"
mkdir -p "$out/run1" "$out/run2" "$out/run3"
source "$(dirname "$0")/e2e_lib.sh"

start_vorla() {
    local folder=$1
    shift
    (cd "$folder" && exec env "$@" "$exe") &
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

check_system_keys

# Right click in the field: a pulse spreads from the point and the timing line appears; Space
# half a second later holds the ring in the field for the screenshot and for the pace check.
move_to 500 400
started=$(date +%s.%N)
xdotool click 3
sleep 0.5
xdotool key space
paused=$(date +%s.%N)
sleep 0.5
shot right-click
red=$(count_pixels 128 146 768 576 "$is_pressure_red")
timing=$(count_pixels 10 64 600 18 "$is_pure_red")
log "in the field: $red red pixels; timing line: $timing red pixels"
[ "$red" -gt 200 ] || fail "no red pressure after the right click"
[ "$timing" -gt 1000 ] || fail "timing line missing"
check_pace 500 400 "$(awk -v a="$started" -v b="$paused" 'BEGIN { printf "%.2f", b - a }')"
# Running again, the field must move: the time-step line changes.
time_step_line=$(region_hash 10 46 500 18)
xdotool key space
time_step_changed() { [ "$(region_hash 10 46 500 18)" != "$time_step_line" ]; }
wait_for_screen running 30 time_step_changed || fail "the time-step line did not change while running"

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
line_is_wall() { [ "$(count_pixels 305 249 110 3 "$is_black")" -ge 200 ]; }
wait_for_screen line 30 line_is_wall || fail "the line did not become a black wall"

# A second instance in the same folder cannot open the log (fopen_s opens it unshared) and ends
# at once with code 1, leaving this one's log alone.
(cd "$out/run1" && exec "$exe") &
second_pid=$!
for ((i = 0; i < 300; i++)); do
    kill -0 "$second_pid" 2>/dev/null || break
    sleep 0.1
done
second_code=0
kill -0 "$second_pid" 2>/dev/null && { kill "$second_pid"; fail "a second instance kept running"; }
wait "$second_pid" || second_code=$?
log "second instance in the same folder: exit code $second_code"
[ "$second_code" -eq 1 ] || fail "a second instance should end with code 1, not $second_code"

# Esc stops the field and clears it, so that the judged line's maximum is the bitmap's own
# pulse; then the import through the file dialog.
xdotool key Escape
sleep 0.3
import_through_dialog "$out/run1/small.bmp"
column=$(count_pixels 178 146 1 50 "$is_black")
judged_line=$(region_hash 10 46 500 18)
log "imported bitmap: black column $column of 50"
[ "$column" -eq 50 ] || fail "the bitmap's black column is not at client x 178"

# The close box: WM_CLOSE, the window goes, exit code 0; then the log holds the import's line.
"$closer" "$main_id"
wait_exit 30 || fail "Vorla did not end after the close request"
log "run 1 exit code $exit_code"
[ "$exit_code" -eq 0 ] || fail "exit code $exit_code after closing"
[ "$(cat "$out/run1/test.txt")" = "( 100, 50)" ] || fail "test.txt should hold ( 100, 50): $(od -c "$out/run1/test.txt")"

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

# ---- Third run, under a German locale: letter keys under other keyboard layouts, the numbers
# of the judged line, and Alt+F4.
log "run 3 in $out/run3, LANG=de_DE.UTF-8"
cp "$out/run1/small.bmp" "$out/run3/"
start_vorla "$out/run3" LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8
shot start-3
locate_client
# A sine source, so that the field keeps being drawn and new walls turn black.
xdotool key f
move_to 700 300
xdotool click 3
restore_layout() { setxkbmap us; }
trap restore_layout EXIT
# Russian: the key where a US keyboard has R types "к" and is still VK_R, the rectangle tool.
setxkbmap ru
sleep 0.5
xdotool key Cyrillic_ka
move_to 300 500
xdotool mousedown 1
move_to 360 550
move_to 420 600
sleep 0.3
xdotool mouseup 1
rectangle_is_wall() { [ "$(count_pixels 305 599 110 4 "$is_black")" -ge 100 ]; }
wait_for_screen rectangle 30 rectangle_is_wall || fail "under a Russian layout the R key did not give the rectangle tool"
# Dvorak: the key printed L (where US has P) is VK_L, the line tool: a bent drag is straight.
setxkbmap us -variant dvorak
sleep 0.5
xdotool key l
move_to 300 680
xdotool mousedown 1
move_to 360 710
move_to 420 680
sleep 0.3
xdotool mouseup 1
straight_line_is_wall() { [ "$(count_pixels 305 679 110 3 "$is_black")" -ge 100 ]; }
wait_for_screen dvorak-line 30 straight_line_is_wall || fail "under Dvorak the L key did not give the line tool"
setxkbmap us
log "keyboard layouts: Russian R and Dvorak L chose their tools"

# The judged line under de_DE is the same pixels as under the C locale: "1.000000", not "1,000000"
# (back to the pulse, whose source the bitmap's yellow pixel adds).
xdotool key t
xdotool key Escape
sleep 0.3
import_through_dialog "$out/run3/small.bmp"
[ "$(region_hash 10 46 500 18)" = "$judged_line" ] || fail "the judged line differs under de_DE.UTF-8 (decimal comma?)"
log "judged line under de_DE.UTF-8: the same pixels as under the C locale"

xdotool key alt+F4
wait_exit 30 || fail "Vorla did not end after Alt+F4"
log "run 3 exit code $exit_code"
[ "$exit_code" -eq 0 ] || fail "exit code $exit_code after Alt+F4"
[ "$(cat "$out/run3/test.txt")" = "( 100, 50)" ] || fail "run 3's test.txt should hold ( 100, 50)"

log "passed; screenshots in $out"
