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
failures=0
check()
{
    if [ "$2" != "$3" ]; then
        echo "FAIL: $1: expected '$3', got '$2'" >&2
        failures=$((failures + 1))
    else
        echo "ok: $1"
    fi
}
glide()
{
    local x0=$1 y0=$2 x1=$3 y1=$4 steps=${5:-8} i
    for i in $(seq 1 "$steps"); do
        xdotool mousemove $((x0 + (x1 - x0) * i / steps)) $((y0 + (y1 - y0) * i / steps))
        sleep 0.03
    done
    sleep 0.2
}
pixel()
{
    import -window root -crop "1x1+$1+$2" -depth 8 txt:- 2>/dev/null |
        sed -n '2s/.*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1,\2,\3/p'
}
# Presses a button (with a key held, if given) at one view point and
# releases it at another; the view starts at (100, 120) on the screen.
gesture()
{
    local button=$1 key=$2 x0=$3 y0=$4 x1=$5 y1=$6
    xdotool mousemove --sync $((100 + x0)) $((120 + y0))
    [ -n "$key" ] && xdotool keydown "$key"
    xdotool mousedown "$button"
    glide $((100 + x0)) $((120 + y0)) $((100 + x1)) $((120 + y1))
    xdotool mouseup "$button"
    [ -n "$key" ] && xdotool keyup "$key"
    sleep 0.5
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
check "secondary-button crop" "$(xdotool getwindowname "$id")" "small.png[41x31]"
# Shift with the primary button crops too; a click crops to one pixel.
gesture 1 shift 5 5 5 5
check "shift-click crop" "$(xdotool getwindowname "$id")" "small.png[1x1]"

"$TAVRIN" "$work/large.png" &
pids+=($!)
big=$(wait_window "large.png[600x400]" "${pids[1]}") || fail "no window for the large picture"
xdotool windowmove --sync "$big" 100 100
xdotool windowsize --sync "$big" 300 200
sleep 0.5
# Control with the primary button drags the picture along with the pointer.
gesture 1 ctrl 100 100 50 50
check "control-drag scrolls" "$(pixel $((100 + 5)) $((120 + 5)))" "255,0,0"
# The tertiary button alone does the same; dragging far stops at the edge.
gesture 2 "" 50 50 150 150
check "tertiary-drag scrolls back" "$(pixel $((100 + 55)) $((120 + 55)))" "255,0,0"
gesture 2 "" 280 160 0 0
gesture 2 "" 280 160 0 0
check "stops at the picture's far corner" "$(pixel $((100 + 285)) $((120 + 165)))" "0,255,0"

[ $failures -eq 0 ] || exit 1
echo "gestures: all checks passed"
