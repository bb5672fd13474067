#!/usr/bin/env bash
# The real program in a real X server: the window it opens, and the two ways
# of ending it.
set -u
TAVRIN=$1
CLOSE=$2
. "$(dirname "$0")/xvfb.sh"
start_xvfb || exit 1
# Started with no arguments: a 201 x 151 window titled with the name and version.
"$TAVRIN" &
pid=$!
id=$(wait_window "tavrin ver.0.00") || fail "no window titled 'tavrin ver.0.00'"
info=$(xwininfo -id "$id")
check "window width" "$(echo "$info" | awk '/Width:/ {print $2}')" 201
check "window height" "$(echo "$info" | awk '/Height:/ {print $2}')" 151
check "window x" "$(echo "$info" | awk '/Absolute upper-left X:/ {print $4}')" 100
check "window y" "$(echo "$info" | awk '/Absolute upper-left Y:/ {print $4}')" 100

# File > Quit: open the File menu with the mouse, take its last item with the keyboard.
open_menu $pid 118 108
xdotool key Up Return
wait_exit $pid
check "File > Quit exit status" "$EXIT_STATUS" 0

# File > About: an alert of the program's own, closed by its one button; the
# program then still quits normally.
"$TAVRIN" &
pid=$!
id=$(wait_window "tavrin ver.0.00" "$pid") || fail "no window for the About test"
open_menu $pid 118 108
xdotool key Down Down Down Down Down Down Down Down Down Down Down Return
alert=""
for _ in $(seq 50); do
    for w in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null); do
        # The alert has no title of its own; X shows the program's name.
        [ "$w" != "$id" ] && alert=$w
    done
    [ -n "$alert" ] && break
    sleep 0.1
done
check "About alert shown" "$([ -n "$alert" ] && echo yes)" yes
xdotool key Return
wait_gone "$alert"
check "About alert gone" "$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | grep -c -v "^$id\$")" 0
open_menu $pid 118 108
xdotool key Up Return
wait_exit $pid
check "quit after About" "$EXIT_STATUS" 0

# Several documents: the first that loads is shown; a path naming nothing
# leaves the empty window and an alert that says so.
work=$(mktemp -d)
echo "no picture" >"$work/a.txt"
convert -size 30x20 xc:red "PNG24:$work/b.png"
convert -size 50x40 xc:blue "PNG24:$work/c.png"
"$TAVRIN" "$work/a.txt" "$work/b.png" "$work/c.png" &
pid=$!
check "first loadable of three" "$(wait_window "b.png[30x20]" >/dev/null && echo shown)" shown
kill $pid; wait $pid 2>/dev/null
"$TAVRIN" "$work/nothing-here.png" &
pid=$!
id=$(wait_window "tavrin ver.0.00" "$pid") || fail "no window for a missing file"
alert=$(wait_window "Open failed" "$pid") || fail "no alert for a missing file"
xdotool windowactivate --sync "$alert" 2>/dev/null
wait_focus "$alert" || fail "the alert did not take the focus"
xdotool key Return
wait_gone "$alert" || fail "the alert stayed"
# The window handles its messages in order: once it has opened and closed
# a menu, it has handled the document too.
open_menu $pid 118 108
xdotool key Escape
wait_no_menu $pid
check "missing file keeps the default size" "$(xwininfo -id "$id" | awk '/Width:/ {print $2}')" 201
kill $pid; wait $pid 2>/dev/null
rm -rf "$work"

# Closing the window ends the program too, however soon after the window
# appears the request comes: the first request is enough, every time.
closed=0
for run in $(seq 12); do
    "$TAVRIN" &
    pid=$!
    id=$(wait_window "tavrin ver.0.00" "$pid") || fail "no window for close run $run"
    "$CLOSE" "$id" || fail "the close request for run $run was refused"
    wait_exit $pid
    [ "$EXIT_STATUS" = 0 ] && closed=$((closed + 1))
done
check "programs ended by their first close request" "$closed" 12

# No display at all: one line on standard error and a failure status.
message=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= "$TAVRIN" 2>&1 >/dev/null)
status=$?
check "no display status" "$status" 1
check "no display message lines" "$(printf '%s\n' "$message" | wc -l)" 1
echo "$message"

exit_checks startup
