#!/usr/bin/env bash
# Exact pixels at the scale factors desktops set (Xft.dpi as GNOME, Xfce and
# MATE set it; QT_SCREEN_SCALE_FACTORS as KDE does): File > Capture gives the
# screen's device pixels, the view shows them one for one, a crop from odd
# device positions takes exactly the pixels under the pointer, and zooming
# keeps all of it exact.
set -u
TAVRIN=$1
PATTERN=$2
. "$(dirname "$0")/xvfb.sh"
XVFB_SIZE=2560x960x24 start_xvfb || exit 1
pid=""
trap 'kill $pid $XVFB_PID 2>/dev/null; rm -rf "$XDG_RUNTIME_DIR"' EXIT
"$PATTERN" paint || fail "cannot paint the screen"

# The window's content corner on the screen, in device pixels, as "x y".
corner()
{
    xwininfo -id "$1" | awk '/Absolute upper-left X:/ {x = $4} /Absolute upper-left Y:/ {y = $4}
                             END {print x, y}'
}

# Presses the secondary button at one device point and releases it at another.
crop_gesture()
{
    xdotool mousemove "$1" "$2" mousedown 3
    glide "$1" "$2" "$3" "$4" 4 0.1
    xdotool mouseup 3
}

# The point of the pattern (screen_pattern's) a screen pixel shows, as "x y".
pattern_at_screen()
{
    pixel "$1" "$2" | awk -F, '{print $1 + int($3 / 16) * 256, $2 + ($3 % 16) * 256}'
}

# setting: how the scale is asked for, its value, and the scale Qt takes.
for setting in "dpi 192 2" "factor 1.25 1.25" "dpi 144 1.5"; do
    read -r how value scale <<<"$setting"
    unset QT_SCREEN_SCALE_FACTORS
    xrdb -remove 2>/dev/null
    if [ "$how" = dpi ]; then
        echo "Xft.dpi: $value" | xrdb -merge
    else
        export QT_SCREEN_SCALE_FACTORS=$value
    fi
    # Device pixels of n logical ones.
    dev() { awk -v n="$1" -v s="$scale" 'BEGIN {printf "%d", n * s + 0.5}'; }

    "$TAVRIN" &
    pid=$!
    id=$(wait_window "tavrin ver.0.00" $pid) || fail "$setting: no window"
    read -r wx wy <<<"$(corner "$id")"
    # The File menu's title is at (18, 8) of the window, in its units.
    open_menu $pid $((wx + $(dev 18))) $((wy + $(dev 8)))
    xdotool key Down Down Down Down Down Return
    id=$(wait_window "tavrin ver.0.00[2560x960]" $pid)
    check "$setting: capture has the screen's device size" "$(xdotool getwindowname "$id")" \
        "tavrin ver.0.00[2560x960]"
    read -r wx wy <<<"$(corner "$id")"
    vx=$wx
    vy=$((wy + $(dev 20)))
    "$PATTERN" wait "$vx" "$vy" 400 300 0 0 5000 >/dev/null
    check "$setting: the view shows the capture pixel for pixel" $? 0

    # A crop from odd device positions: exactly the pixels under the pointer.
    crop_gesture $((vx + 301)) $((vy + 203)) $((vx + 401)) $((vy + 263))
    check "$setting: crop size" "$(wait_title "$id" "tavrin ver.0.00[101x61]")" \
        "tavrin ver.0.00[101x61]"
    "$PATTERN" wait "$vx" "$vy" 101 61 301 203 5000 >/dev/null
    check "$setting: the crop starts at the pixel pressed on" $? 0

    # Zoomed in twice, each pixel is two by two device pixels, and a crop
    # from an odd device position takes the pixel under it.
    wait_focus "$id"
    xdotool key ctrl+plus ctrl+plus
    check "$setting: zoom in twice" "$(wait_title "$id" "tavrin ver.0.00[101x61] 200%")" \
        "tavrin ver.0.00[101x61] 200%"
    # The pixel of the screen's pattern under the press is where the crop starts.
    read -r px py <<<"$(pattern_at_screen $((vx + 21)) $((vy + 15)))"
    crop_gesture $((vx + 21)) $((vy + 15)) $((vx + 60)) $((vy + 41))
    check "$setting: crop at 200%" "$(wait_title "$id" "tavrin ver.0.00[21x14] 200%")" \
        "tavrin ver.0.00[21x14] 200%"
    wait_for '[ "$(pattern_at_screen "$vx" "$vy")" = "$px $py" ]'
    import -window root -crop "42x28+$vx+$vy" "$XDG_RUNTIME_DIR/shown.png"
    convert "$XDG_RUNTIME_DIR/shown.png" -sample 50% "$XDG_RUNTIME_DIR/zoomed.png"
    "$PATTERN" image "$XDG_RUNTIME_DIR/zoomed.png" "$px" "$py" >/dev/null
    check "$setting: zoomed, the crop starts at the pixel pressed on, in whole squares" $? 0
    xdotool key ctrl+1
    check "$setting: actual size" "$(wait_title "$id" "tavrin ver.0.00[21x14]")" \
        "tavrin ver.0.00[21x14]"

    kill $pid
    wait $pid 2>/dev/null
    pid=""
done

# Two monitors side by side, at scales 2 and 1: a window moved from one to
# the other is fitted to its picture there, and captures the monitor it
# stands on, pixel for pixel.
xrdb -remove 2>/dev/null
xrandr --setmonitor A 1280/338x960/254+0+0 none >/dev/null
xrandr --setmonitor B 1280/338x960/254+1280+0 none >/dev/null
export QT_SCREEN_SCALE_FACTORS="A=2;B=1"
convert -size 400x300 xc:red "PNG24:$XDG_RUNTIME_DIR/red.png"
"$TAVRIN" "$XDG_RUNTIME_DIR/red.png" &
pid=$!
id=$(wait_window "red.png[400x300]" $pid) || fail "no window on two monitors"
width() { xwininfo -id "$id" | awk '/Width:/ {print $2}'; }
# Fitted: the picture's 400 device pixels and the bar's 14 units.
check "at scale 2" "$(width)" 428
for monitor in "B 1400 414" "A 100 428"; do
    read -r name x fitted <<<"$monitor"
    xdotool windowmove "$id" "$x" 100
    wait_for '[ "$(width)" = $fitted ]'
    check "moved to monitor $name, fitted again" "$(width)" $fitted
done
for monitor in "B 1400 1280 1" "A 100 0 2"; do
    read -r name x first s <<<"$monitor"
    xdotool windowmove "$id" "$x" 100
    wait_for '[ "$(corner "$id")" = "$x 100" ]'
    read -r wx wy <<<"$(corner "$id")"
    open_menu $pid $((wx + 18 * s)) $((wy + 8 * s))
    xdotool key Down Down Down Down Down Return
    "$PATTERN" wait "$wx" $((wy + 20 * s)) 300 200 "$first" 0 5000 >/dev/null
    check "monitor $name's capture shows it pixel for pixel" $? 0
    check "capture on monitor $name" "$(xdotool getwindowname "$id")" "red.png[1280x960]"
done

exit_checks hidpi
