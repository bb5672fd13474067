#!/usr/bin/env bash
# The mouse gestures with a real pointer under Xvfb: cropping with the
# secondary button and with Shift, scrolling with Control and with the
# tertiary button.
set -u
TAVRIN=$1
. "$(dirname "$0")/xvfb.sh"
start_xvfb || exit 1
work=$(mktemp -d)
pids=()
trap 'kill ${pids[@]} $XVFB_PID 2>/dev/null; rm -rf "$work" "$XDG_RUNTIME_DIR"' EXIT
# Presses a button (with a key held, if given) at one view point and
# releases it at another; the view starts at (100, 120) on the screen.
gesture()
{
    local button=$1 key=$2 x0=$3 y0=$4 x1=$5 y1=$6
    # No --sync: the pointer may be there already, and xdotool would wait.
    xdotool mousemove $((100 + x0)) $((120 + y0))
    [ -n "$key" ] && xdotool keydown "$key"
    xdotool mousedown "$button"
    glide $((100 + x0)) $((120 + y0)) $((100 + x1)) $((120 + y1))
    xdotool mouseup "$button"
    [ -n "$key" ] && xdotool keyup "$key"
}

convert -size 180x120 xc:black -fill "rgb(255,0,0)" -draw "rectangle 50,50 60,60" \
    -depth 8 "PNG24:$work/small.png"
convert -size 600x400 xc:black -fill "rgb(255,0,0)" -draw "rectangle 50,50 60,60" \
    -fill "rgb(0,255,0)" -draw "rectangle 590,390 599,399" -depth 8 "PNG24:$work/large.png"

"$TAVRIN" "$work/small.png" &
pids+=($!)
id=$(wait_window "small.png[180x120]" "${pids[0]}") || fail "no window"
# The secondary button crops to what it selects.
gesture 3 "" 20 20 60 50
check "secondary-button crop" "$(wait_title "$id" "small.png[41x31]")" "small.png[41x31]"
# Shift with the primary button crops too; a click crops to one pixel.
gesture 1 shift 5 5 5 5
check "shift-click crop" "$(wait_title "$id" "small.png[1x1]")" "small.png[1x1]"

"$TAVRIN" "$work/large.png" &
pids+=($!)
big=$(wait_window "large.png[600x400]" "${pids[1]}") || fail "no window for the large picture"
xdotool windowmove --sync "$big" 100 100
xdotool windowsize --sync "$big" 300 200
# Once the view has its scroll bars (where the picture was black), it has
# taken the new size.
wait_for '[ "$(pixel $((100 + 293)) $((120 + 100)))" != "0,0,0" ]' || fail "no scroll bar after the resize"
# Control with the primary button drags the picture along with the pointer.
gesture 1 ctrl 100 100 50 50
check "control-drag scrolls" "$(wait_pixel $((100 + 5)) $((120 + 5)) "255,0,0")" "255,0,0"
# The tertiary button alone does the same; dragging far stops at the edge.
gesture 2 "" 50 50 150 150
check "tertiary-drag scrolls back" "$(wait_pixel $((100 + 55)) $((120 + 55)) "255,0,0")" "255,0,0"
gesture 2 "" 280 160 0 0
gesture 2 "" 280 160 0 0
check "stops at the picture's far corner" "$(wait_pixel $((100 + 285)) $((120 + 165)) "0,255,0")" "0,255,0"

exit_checks gestures
