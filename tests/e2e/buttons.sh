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

openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && break
    sleep 0.1
done

glide()
{
    local x0=$1 y0=$2 x1=$3 y1=$4 steps=${5:-6} i
    for i in $(seq 1 "$steps"); do
        xdotool mousemove $((x0 + (x1 - x0) * i / steps)) $((y0 + (y1 - y0) * i / steps))
        sleep 0.03
    done
}
# The colour at a point of the view, as "r,g,b".
pixel()
{
    import -window root -crop "1x1+$((VX + $1))+$((VY + $2))" -depth 8 txt:- 2>/dev/null |
        sed -n '2s/.*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1,\2,\3/p'
}
# Waits until the view point shows a colour matching the pattern; prints
# what it shows last.
wait_pixel()
{
    local x=$1 y=$2 pattern=$3 shown
    for _ in $(seq 30); do
        shown=$(pixel "$x" "$y")
        [[ "$shown" =~ ^($pattern)$ ]] && break
        sleep 0.1
    done
    echo "$shown"
}
# Prints "frame" once the view point shows the selection frame's white or
# grey, or what it shows instead.
frame_at()
{
    local shown
    shown=$(wait_pixel "$1" "$2" "255,255,255|100,100,100")
    [[ "$shown" =~ ^(255,255,255|100,100,100)$ ]] && shown=frame
    echo "$shown"
}
wait_title()
{
    local id=$1 title=$2 shown
    for _ in $(seq 30); do
        shown=$(xdotool getwindowname "$id")
        [ "$shown" = "$title" ] && break
        sleep 0.1
    done
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
move() { glide $((VX + $1)) $((VY + $2)) $((VX + $3)) $((VY + $4)); }

convert -size 600x400 xc:black -fill "rgb(255,0,0)" -draw "rectangle 50,50 60,60" \
    -depth 8 "PNG24:$work/picture.png"

"$TAVRIN" "$work/picture.png" &
pids+=($!)
id=$(wait_window "picture.png[600x400]" "${pids[1]}") || fail "no window"
sleep 0.5
locate "$id"
check "the picture is shown" "$(wait_pixel 55 55 "255,0,0")" "255,0,0"

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
check "nothing pasted into the picture" "$(pixel 85 85)" "0,0,0"
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
big=$(wait_window "picture.png[600x400]" "${pids[2]}") || fail "no second window"
xdotool windowsize --sync "$big" 300 200
sleep 0.5
locate "$big"
at 150 100
check "before the wheel" "$(wait_pixel 55 55 "255,0,0")" "255,0,0"
xdotool click 5
check "a notch down scrolls 30 pixels" "$(wait_pixel 55 25 "255,0,0")" "255,0,0"
xdotool keydown shift click 5 keyup shift
check "Shift and the wheel scroll sideways" "$(wait_pixel 25 25 "255,0,0")" "255,0,0"
xdotool click 6
check "the tilted wheel scrolls back" "$(wait_pixel 55 25 "255,0,0")" "255,0,0"
xdotool click 4
check "a notch up" "$(wait_pixel 55 55 "255,0,0")" "255,0,0"

[ $failures -eq 0 ] || exit 1
echo "buttons: all checks passed"
