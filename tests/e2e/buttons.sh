#!/usr/bin/env bash
# Several mouse buttons, and the wheel, with a real pointer under Xvfb and a
# window manager: a button pressed during a gesture belongs to it (no drag, no
# paste), buttons pressed together select without cropping, and the wheel
# scrolls the picture.
set -u
TAVRIN=$1
. "$(dirname "$0")/xvfb.sh"
start_xvfb || exit 1
work=$(mktemp -d)
pids=()
trap 'kill ${pids[@]} ${OPENBOX_PID:-} $XVFB_PID 2>/dev/null; rm -rf "$work" "$XDG_RUNTIME_DIR"' EXIT
start_openbox || exit 1

# The colour at a point of the view, as "r,g,b"; and a wait until it
# matches a pattern, printing what it shows last.
view_pixel() { pixel $((VX + $1)) $((VY + $2)); }
view_shows() { wait_pixel $((VX + $1)) $((VY + $2)) "$3"; }
# Prints "frame" once the view point shows the selection frame's white or
# grey, or what it shows instead.
frame_at()
{
    local shown
    shown=$(view_shows "$1" "$2" "255,255,255|100,100,100")
    [[ "$shown" =~ ^(255,255,255|100,100,100)$ ]] && shown=frame
    echo "$shown"
}
# Finds where the view of window id lies on the screen, below the menu bar
# (xwininfo, unlike xdotool, tells a reparented window's place exactly).
locate()
{
    VX=$(xwininfo -id "$1" | sed -n 's/.*Absolute upper-left X: *//p')
    VY=$(($(xwininfo -id "$1" | sed -n 's/.*Absolute upper-left Y: *//p') + 20))
}
at() { xdotool mousemove --sync $((VX + $1)) $((VY + $2)); }
move() { glide $((VX + $1)) $((VY + $2)) $((VX + $3)) $((VY + $4)) 6 0; }

convert -size 600x400 xc:black -fill "rgb(255,0,0)" -draw "rectangle 50,50 60,60" \
    -depth 8 "PNG24:$work/picture.png"

"$TAVRIN" "$work/picture.png" &
pids+=($!)
id=$(wait_window "picture.png[600x400]" "${pids[0]}") || fail "no window"
wait_framed "$id" || fail "the window was not framed"
locate "$id"
check "the picture is shown" "$(view_shows 55 55 "255,0,0")" "255,0,0"

# The primary button selects; the secondary, pressed on the way, joins the
# same gesture: no drag starts, nothing is pasted where the pointer lets go.
at 40 40
xdotool mousedown 1
move 40 40 100 100
xdotool mousedown 3
move 100 100 130 130
xdotool mouseup 3
xdotool mouseup 1
check "the selection goes on to where both buttons are let go" "$(frame_at 130 85)" frame
check "nothing pasted into the picture" "$(view_pixel 85 85)" "0,0,0"
check "the picture keeps its size" "$(xdotool getwindowname "$id")" "picture.png[600x400]"

# Both pressed together: a selection that stays, not a crop.
at 200 200
xdotool mousedown 1 mousedown 3
move 200 200 260 240
xdotool mouseup 3 mouseup 1
check "a chord selects" "$(frame_at 260 220)" frame
check "a chord does not crop" "$(xdotool getwindowname "$id")" "picture.png[600x400]"

# The secondary button crops, whatever joins it on the way.
at 300 100
xdotool mousedown 3
move 300 100 400 180
xdotool mousedown 1
move 400 180 420 200
xdotool mouseup 1
xdotool mouseup 3
check "the secondary button still crops" "$(wait_title "$id" "picture.png[121x101]")" \
    "picture.png[121x101]"

# The wheel scrolls a picture larger than its window: three small steps of
# 10 pixels a notch, sideways with Shift or the tilted wheel.
"$TAVRIN" "$work/picture.png" &
pids+=($!)
big=$(wait_window "picture.png[600x400]" "${pids[1]}") || fail "no second window"
wait_framed "$big" || fail "the second window was not framed"
xdotool windowsize --sync "$big" 300 200
locate "$big"
# Once the view has its scroll bars (where the picture was black), it has
# taken the new size.
wait_for '[ "$(view_pixel 293 100)" != "0,0,0" ]' || fail "no scroll bar after the resize"
at 150 100
check "before the wheel" "$(view_shows 55 55 "255,0,0")" "255,0,0"
xdotool click 5
check "a notch down scrolls 30 pixels" "$(view_shows 55 25 "255,0,0")" "255,0,0"
xdotool keydown shift click 5 keyup shift
check "Shift and the wheel scroll sideways" "$(view_shows 25 25 "255,0,0")" "255,0,0"
xdotool click 6
check "the tilted wheel scrolls back" "$(view_shows 55 25 "255,0,0")" "255,0,0"
xdotool click 4
check "a notch up" "$(view_shows 55 55 "255,0,0")" "255,0,0"

exit_checks buttons
