#!/usr/bin/env bash
# A short end-to-end tour of the 64-bit Arm Linux program under qemu-user: the window appears,
# a right click with the sine source radiates, a line drawn with the mouse becomes a wall.
# Emulation is slow, so every condition is polled with a generous timeout and none depends on
# how fast the field runs.
# Usage: arm64_e2e.sh VORLA OUTPUT_FOLDER   (inside an X server, QT_QPA_PLATFORM=xcb)
set -euo pipefail

exe=$(realpath "$1")
out=$(realpath -m "$2")
emulator=${VORLA_EMULATOR:-qemu-aarch64}
rm -rf "$out"
mkdir -p "$out/run"
source "$(dirname "$0")/e2e_lib.sh"

log "starting $exe under $emulator in $out/run"
(cd "$out/run" && exec $emulator "$exe") &
vorla_pid=$!
main_id=$(wait_window '^Realtime Vorla$' 180) || fail "the main window did not appear"
xdotool windowfocus "$main_id" 2>/dev/null || true
tool_line_drawn() { [ "$(convert "$last_shot" -fx "$is_blue" -format '%[fx:round(mean*w*h)]' info:)" -gt 2000 ]; }
wait_for_screen start 120 tool_line_drawn || fail "the window's tool line was never drawn"
locate_client
geometry=$(xdotool getwindowgeometry "$main_id" | tr '\n' ' ')
log "window: $geometry"
[[ $geometry =~ Geometry:\ 1024x768 ]] || fail "the window should be 1024 x 768: $geometry"

# F: the sine source; a right click places it, and its waves reach the screen in both signs.
xdotool key f
move_to 500 400
xdotool click 3
radiates() {
    [ "$(count_pixels 128 146 768 576 "$is_pressure_red")" -gt 50 ] &&
        [ "$(count_pixels 128 146 768 576 'b>0.98 && r<0.85 && g<0.85 && abs(r-g)<0.02')" -gt 50 ]
}
wait_for_screen sine 240 radiates || fail "no red and blue waves around the sine source"
log "sine source: $(count_pixels 128 146 768 576 "$is_pressure_red") red pixels in the field"

# The line tool: a drag along y 250 becomes a black wall once the field is drawn again.
xdotool key l
move_to 300 250
xdotool mousedown 1
for x in 330 360 390 420; do
    move_to "$x" 250
    sleep 0.3
done
sleep 0.5
xdotool mouseup 1
line_is_wall() { [ "$(count_pixels 305 249 110 3 "$is_black")" -ge 200 ]; }
wait_for_screen line 240 line_is_wall || fail "the line did not become a black wall"

xdotool key alt+F4
wait_exit 120 || fail "Vorla did not end after Alt+F4"
log "exit code $exit_code"
[ "$exit_code" -eq 0 ] || fail "exit code $exit_code after Alt+F4"
log "passed; screenshots in $out"
