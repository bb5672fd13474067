#!/usr/bin/env bash
# File > Capture in the real program: the picture is the screen under the
# window, never the window itself, and the window fits it.
set -u
TAVRIN=$1
PATTERN=$2
. "$(dirname "$0")/xvfb.sh"
start_xvfb || exit 1
# Opens the File menu with the mouse (its title is at (18, 8) in the window)
# and takes the fifth item, Capture, with the keyboard.
file_capture()
{
    open_menu $pid 118 108
    xdotool key Down Down Down Down Down Return
}

"$PATTERN" paint || fail "cannot paint the screen"
"$TAVRIN" &
pid=$!
id=$(wait_window "tavrin ver.0.00" $pid) || fail "no window titled 'tavrin ver.0.00'"

file_capture
id=$(wait_window "tavrin ver.0.00[1024x768]" $pid) || fail "no window titled with the capture's size"
# Fitted to a 1024 x 768 view (1023 + 14 by 767 + 14 + 20), but no larger
# than the screen leaves right of and below the window's corner, which stays.
info=$(xwininfo -id "$id")
check "window width" "$(echo "$info" | awk '/Width:/ {print $2}')" 924
check "window height" "$(echo "$info" | awk '/Height:/ {print $2}')" 668
check "window x" "$(echo "$info" | awk '/Absolute upper-left X:/ {print $4}')" 100
check "window y" "$(echo "$info" | awk '/Absolute upper-left Y:/ {print $4}')" 100
# The view (under the 20-pixel menu bar) shows the capture from its corner
# on; all of the view is checked, the place where the window stood included.
"$PATTERN" wait 100 120 910 634 0 0 5000 >/dev/null
check "the view shows the screen as it was under the window" $? 0

# Again, with the window now covering most of the screen and another
# picture on the root: the view shows the new picture and nothing of itself.
"$PATTERN" paint 37 11 || fail "cannot paint the screen"
file_capture
"$PATTERN" wait 100 120 910 634 37 11 5000 >/dev/null
check "a second capture shows the new screen" $? 0
check "title after the second capture" "$(xdotool getwindowname "$id")" "tavrin ver.0.00[1024x768]"

# File > Quit still ends the program normally.
open_menu $pid 118 108
xdotool key Up Return
wait_exit $pid
check "exit status" "$EXIT_STATUS" 0

exit_checks capture
