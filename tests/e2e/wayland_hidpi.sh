#!/usr/bin/env bash
# A Wayland output at scale 2: File > Capture gives the output's device
# pixels, as grim reads them, and the view shows them one for one; the
# window maps whole on the output.
#
#   wayland_hidpi.sh TAVRIN WAYLAND_POINTER WAYLAND_PATTERN
set -u
TAVRIN=$1
POINTER=$2
PATTERN=$3
HERE=$(cd "$(dirname "$0")" && pwd)

SCALE=2
. "$HERE/wayland_session.sh"
# The layout counts logical units: half the output's device pixels.
LW=$((WIDTH / SCALE))
LH=$((HEIGHT / SCALE))
pointer extent $LW $LH

"$PATTERN" >"$WORK/pattern.log" 2>&1 &
wait_for window_rect pattern || fail "the pattern window did not show"
wait_for grim "$WORK/reference.png" || fail "grim cannot read the screen"
check "grim reads the output's device pixels" \
    "$(identify -format %wx%h "$WORK/reference.png")" "${WIDTH}x${HEIGHT}"

start_tavrin native XDG_SESSION_TYPE=wayland
file_capture "tavrin ver.0.00"
wait_for window_rect "tavrin ver.0.00[${WIDTH}x${HEIGHT}]"
check "the capture has the output's device size" $? 0

# The view's part on the output, in device pixels, against grim's picture
# taken before: the same pixels, one for one.
view_equals_grim()
{
    local rect x y w h
    rect=($(window_rect "tavrin ver.0.00[${WIDTH}x${HEIGHT}]")) || return 1
    x=$((rect[0] < 0 ? 0 : rect[0]))
    y=$((rect[1] + 20))
    w=$((rect[0] + rect[2] - 14 > LW ? LW - x : rect[0] + rect[2] - 14 - x))
    h=$((rect[1] + rect[3] - 14 > LH ? LH - y : rect[1] + rect[3] - 14 - y))
    grim -g "$x,$y ${w}x${h}" "$WORK/view.png" || return 1
    convert "$WORK/reference.png" -crop "$((w * SCALE))x$((h * SCALE))+$(((x - rect[0]) * SCALE))+$(((y - rect[1] - 20) * SCALE))" \
        +repage "$WORK/reference-part.png"
    [ "$(compare -metric AE "$WORK/view.png" "$WORK/reference-part.png" null: 2>&1)" = 0 ]
}
wait_for view_equals_grim
check "the view shows the capture pixel for pixel" $? 0
rect=($(window_rect "tavrin ver.0.00[${WIDTH}x${HEIGHT}]"))
check "the window lies on the output" \
    "$([ "${rect[0]}" -ge 0 ] && [ "${rect[1]}" -ge 0 ] && [ $((rect[0] + rect[2])) -le $LW ] &&
        [ $((rect[1] + rect[3])) -le $LH ] && echo whole)" whole
quit_tavrin native "tavrin ver.0.00[${WIDTH}x${HEIGHT}]"

# A region dragged on the frozen output: its device pixels, from the
# logical point (30, 20) to (200, 150) both included.
env XDG_SESSION_TYPE=wayland "$TAVRIN" --capture=region --output "$WORK/region.png" \
    2>"$WORK/region.err" &
REGION_PID=$!
wait_for overlay_shown || fail "region: no overlay: $(cat "$WORK/region.err")"
pointer move 30 20
pointer press
pointer glide 200 150 8
pointer release
wait $REGION_PID
check "region: exit status" $? 0
convert "$WORK/reference.png" -crop 341x261+60+40 +repage "$WORK/reference-region.png"
check "region: the output's device pixels" \
    "$(compare -metric AE "$WORK/region.png" "$WORK/reference-region.png" null: 2>&1)" 0

# A second output at scale 1 beside it, the pattern all over it. The
# portal's one picture of the desktop draws it at scale 2, filtered by the
# compositor: its own pixels come back from every second one, all but the
# few (under 1 %) that the compositor's filter blended; reduced smoothly,
# every one of them would differ.
swaymsg create_output >/dev/null
swaymsg output HEADLESS-2 resolution 640x480 position $LW 0 scale 1 >/dev/null
pointer extent $((LW + 640)) 480
swaymsg '[title="pattern"] move to output HEADLESS-2' >/dev/null
# Once the pattern is there: thousands of colours, not the background's one.
second_reference() { grim -o HEADLESS-2 "$WORK/second-reference.png" &&
    [ "$(identify -format %wx%h "$WORK/second-reference.png")" = 640x480 ] &&
    [ "$(identify -format %k "$WORK/second-reference.png")" -gt 10000 ]; }
wait_for second_reference || fail "grim cannot read the second output"
swaymsg focus output HEADLESS-2 >/dev/null
start_tavrin second XDG_SESSION_TYPE=wayland
file_capture "tavrin ver.0.00"
wait_for window_rect "tavrin ver.0.00[640x480]"
check "second output: the capture has its size" $? 0
second_equals_grim()
{
    local rect w h
    rect=($(window_rect "tavrin ver.0.00[640x480]")) || return 1
    w=$((rect[0] + rect[2] - 14 > LW + 640 ? LW + 640 - rect[0] : rect[2] - 14))
    h=$((rect[1] + rect[3] - 14 > 480 ? 480 - rect[1] - 20 : rect[3] - 34))
    grim -g "${rect[0]},$((rect[1] + 20)) ${w}x${h}" "$WORK/second-view.png" || return 1
    convert "$WORK/second-reference.png" -crop "${w}x${h}+0+0" +repage "$WORK/second-part.png"
    local differ
    differ=$(compare -metric AE "$WORK/second-view.png" "$WORK/second-part.png" null: 2>&1)
    [ "$differ" -lt $((w * h / 100)) ]
}
wait_for second_equals_grim
check "second output: the view shows its own pixels" $? 0
quit_tavrin second "tavrin ver.0.00[640x480]"

[ $failures -eq 0 ] || exit 1
echo "wayland hidpi: all checks passed"
