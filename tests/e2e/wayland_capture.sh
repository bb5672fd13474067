#!/usr/bin/env bash
# File > Capture in a Wayland session. A headless sway is the compositor, a
# native Qt program paints the test pattern over its screen, the desktop
# portal (xdg-desktop-portal with its wlr and gtk back ends) answers on a
# session bus of the test's own, and grim reads the compositor's screen on
# its own. tavrin runs as a native Wayland client, and as an X client of
# XWayland where the session says X11: either way its capture must be the
# screen pixel for pixel, without its own window; with the portal gone the
# old picture stays and one line says why.
#
#   wayland_capture.sh TAVRIN WAYLAND_POINTER WAYLAND_PATTERN SCREEN_PATTERN
set -u
TAVRIN=$1
POINTER=$2
PATTERN=$3
SCREEN_PATTERN=$4
HERE=$(cd "$(dirname "$0")" && pwd)

. "$HERE/wayland_session.sh"

# A native program covers the screen with the pattern; grim's picture of
# the screen must show it everywhere.
"$PATTERN" >"$WORK/pattern.log" 2>&1 &
PATTERN_PID=$!
wait_for window_rect pattern || fail "the pattern window did not show"
wait_for sh -c "grim '$WORK/reference.png' && '$SCREEN_PATTERN' image '$WORK/reference.png' 0 0" ||
    fail "grim does not read the pattern: $("$SCREEN_PATTERN" image "$WORK/reference.png" 0 0)"

# Checks that the visible part of tavrin's view (below the 20-pixel menu
# bar, beside the 14-pixel scroll bars) shows the pattern at shift ($2, $3)
# from its corner on; VIEW_PART says which part of the picture that was.
view_shows()
{
    local rect x y w h
    rect=($(window_rect "$1")) || return 1
    x=$((rect[0] < 0 ? 0 : rect[0]))
    y=$((rect[1] + 20 < 0 ? 0 : rect[1] + 20))
    w=$((rect[0] + rect[2] - 14 > WIDTH ? WIDTH - x : rect[0] + rect[2] - 14 - x))
    h=$((rect[1] + rect[3] - 14 > HEIGHT ? HEIGHT - y : rect[1] + rect[3] - 14 - y))
    grim -g "$x,$y ${w}x${h}" "$WORK/view.png" || return 1
    VIEW_PART="${w}x${h}+$((x - rect[0]))+$((y - rect[1] - 20))"
    "$SCREEN_PATTERN" image "$WORK/view.png" $((x - rect[0] + $2)) $((y - rect[1] - 20 + $3))
}

# Captures with the window titled $1 and checks the view against grim's
# picture of the screen.
capture_equals_grim()
{
    local name=$1 title=$2
    file_capture "$title"
    wait_for window_rect "tavrin ver.0.00[${WIDTH}x${HEIGHT}]" ||
        fail "$name: no window titled with the capture's size: $(cat "$WORK/$name.err")"
    wait_for view_shows "tavrin ver.0.00[${WIDTH}x${HEIGHT}]" 0 0
    check "$name: the view shows the screen, without tavrin's window" $? 0
    echo "  $(view_shows "tavrin ver.0.00[${WIDTH}x${HEIGHT}]" 0 0)"
    # The view's picture equals grim's own, not merely the pattern.
    convert "$WORK/reference.png" -crop "$VIEW_PART" +repage "$WORK/reference-part.png"
    check "$name: the capture equals grim's picture where the view shows it" \
        "$(compare -metric AE "$WORK/view.png" "$WORK/reference-part.png" null: 2>&1)" 0
    check "$name: the portal's file is gone" "$(ls /tmp/out.png 2>/dev/null)" ""
    check "$name: nothing on standard error about the capture" \
        "$(grep -c '^tavrin:' "$WORK/$name.err")" 0
}

LINE="tavrin: cannot capture the screen: the display server does not let programs read the screen; the picture is kept"

# A Wayland session: tavrin is a native client.
start_tavrin native XDG_SESSION_TYPE=wayland
check "native: a Wayland client" "$(shell_of "tavrin ver.0.00")" xdg_shell
check "native: application id" \
    "$(swaymsg -t get_tree | grep -F -A30 '"name": "tavrin ver.0.00"' | grep -o '"app_id": "[a-z]*"' | head -1)" \
    '"app_id": "tavrin"'
capture_equals_grim native "tavrin ver.0.00"
NATIVE_PID=$TAVRIN_PID

# A region from the command line: the portal's picture, frozen on a
# full-screen window of tavrin's own, and a drag on it.
swaymsg '[app_id="tavrin"] move scratchpad' >/dev/null
env XDG_SESSION_TYPE=wayland "$TAVRIN" --capture=region --output "$WORK/region.png" \
    2>"$WORK/region.err" &
REGION_PID=$!
wait_for overlay_shown || fail "region: no overlay: $(cat "$WORK/region.err")"
pointer move 101 77
pointer press
pointer glide 330 260 8
pointer release
wait $REGION_PID
check "region: exit status" $? 0
convert "$WORK/reference.png" -crop 230x184+101+77 +repage "$WORK/reference-region.png"
check "region: the dragged rectangle of the screen" \
    "$(compare -metric AE "$WORK/region.png" "$WORK/reference-region.png" null: 2>&1)" 0

# A window on a desktop whose portal offers no choice of window: one line,
# then the region; Escape there ends it with no file.
env XDG_SESSION_TYPE=wayland "$TAVRIN" --capture=window --output "$WORK/window.png" \
    2>"$WORK/window.err" &
REGION_PID=$!
wait_for overlay_shown || fail "window: no overlay: $(cat "$WORK/window.err")"
wtype -s 300 -k Escape
wait $REGION_PID
check "window: Escape's exit status" $? 1
check "window: no file" "$(ls "$WORK/window.png" 2>/dev/null)" ""
check "window: one line says why" "$(grep -c '^tavrin:.*pick a window' "$WORK/window.err")" 1
swaymsg '[app_id="tavrin"] scratchpad show, move position 0 0' >/dev/null
# Out of sight until the portal has gone.
swaymsg '[app_id="tavrin"] move scratchpad' >/dev/null

# An X11 session on the same screen: tavrin is an X client of XWayland,
# whose root window holds no Wayland window; the portal has the screen.
start_tavrin xwayland DISPLAY=$X_DISPLAY XDG_SESSION_TYPE=x11
check "xwayland: an X client" "$(shell_of "tavrin ver.0.00")" xwayland
capture_equals_grim xwayland "tavrin ver.0.00"
quit_tavrin xwayland "tavrin ver.0.00[${WIDTH}x${HEIGHT}]"

# A second monitor to the right: a capture there is that monitor alone, cut
# out of the portal's picture of the whole desktop.
swaymsg create_output >/dev/null
swaymsg output HEADLESS-2 resolution 640x480 position $WIDTH 0 bg '#cc8800' solid_color >/dev/null
pointer extent $((WIDTH + 640)) $HEIGHT
swaymsg focus output HEADLESS-2 >/dev/null
start_tavrin second XDG_SESSION_TYPE=wayland
file_capture "tavrin ver.0.00"
wait_for window_rect "tavrin ver.0.00[640x480]" ||
    fail "second: no window titled with the second monitor's size: $(cat "$WORK/second.err")"
swaymsg '[app_id="tavrin" title="640x480"] move position 0 0' >/dev/null
# The view's part on the second monitor, below the menu bar and inside the
# scroll bars (the window fits the monitor, so the bars take part of it).
only_orange()
{
    local rect
    rect=($(window_rect "tavrin ver.0.00[640x480]")) && [ "${rect[0]},${rect[1]}" = "$WIDTH,0" ] &&
        grim -g "$WIDTH,20 $((rect[2] - 14))x$((rect[3] - 34))" "$WORK/second.png" &&
        [ "$(convert "$WORK/second.png" -format '%k %[pixel:p{0,0}]' info:)" = "1 srgb(204,136,0)" ]
}
wait_for only_orange
check "second: the view shows the second monitor alone" $? 0
quit_tavrin second "tavrin ver.0.00[640x480]"
swaymsg focus output HEADLESS-1 >/dev/null

# Without the portal: the pattern moves, a capture fails, the old picture
# stays and one line says so.
kill $PORTAL_PID
wait $PORTAL_PID 2>/dev/null
kill $PATTERN_PID
wait $PATTERN_PID 2>/dev/null
"$PATTERN" 37 11 >"$WORK/pattern.log" 2>&1 &
PATTERN_PID=$!
wait_for grep -q painted "$WORK/pattern.log" || fail "the moved pattern did not show"

TAVRIN_PID=$NATIVE_PID
swaymsg '[app_id="tavrin"] scratchpad show, move position 0 0' >/dev/null
file_capture "tavrin ver.0.00[${WIDTH}x${HEIGHT}]"
wait_for grep -q '^tavrin:' "$WORK/native.err"
wait_for window_rect "tavrin ver.0.00[${WIDTH}x${HEIGHT}]"
check "native without portal: one line on standard error" "$(grep -c '^tavrin:' "$WORK/native.err")" 1
check "native without portal: the line" "$(grep '^tavrin:' "$WORK/native.err")" "$LINE"
wait_for view_shows "tavrin ver.0.00[${WIDTH}x${HEIGHT}]" 0 0
check "native without portal: the old picture stays" $? 0
quit_tavrin native "tavrin ver.0.00[${WIDTH}x${HEIGHT}]"

# XWayland without the portal: rather than XWayland's black root window,
# the old picture and one line.
start_tavrin xwayland-alone DISPLAY=$X_DISPLAY XDG_SESSION_TYPE=x11
file_capture "tavrin ver.0.00"
wait_for grep -q '^tavrin:' "$WORK/xwayland-alone.err"
wait_for window_rect "tavrin ver.0.00"
check "xwayland without portal: the line" "$(grep '^tavrin:' "$WORK/xwayland-alone.err")" "$LINE"
check "xwayland without portal: the title keeps no size" "$(window_rect "tavrin ver.0.00" >/dev/null && echo kept)" kept
quit_tavrin xwayland-alone "tavrin ver.0.00"

[ $failures -eq 0 ] || exit 1
echo "wayland capture: all checks passed"
