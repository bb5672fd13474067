#!/usr/bin/env bash
# Drag and drop in a Wayland session, through the compositor's data device:
# tavrin, a native Wayland client, drags its selection to another native
# program, which asks for PNG data in one drop and for a file in another;
# and a file dragged from that program onto tavrin opens there.
#
#   wayland_dnd.sh TAVRIN WAYLAND_POINTER DROP_TARGET
set -u
TAVRIN=$1
POINTER=$2
DROP_TARGET=$3
HERE=$(cd "$(dirname "$0")" && pwd)

. "$HERE/wayland_session.sh"

picture=$WORK/source.png
convert -size 300x200 gradient:red-blue -fx 'u + (i % 7) / 255' "PNG24:$picture"

title="source.png[300x200]"

# tavrin in the top left corner with the picture; the other program takes
# the rest of the screen beneath it.
env XDG_SESSION_TYPE=wayland "$TAVRIN" "$picture" >"$WORK/tavrin.out" 2>"$WORK/tavrin.err" &
TAVRIN_PID=$!
# The window fits the picture (300 + 14 by 200 + 14 + 20) by itself, and
# keeps that size while the other program's windows come and go; sway
# places it in the middle, and the test moves it to the corner.
placed()
{
    local rect
    rect=($(window_rect "$title")) && [ "${rect[*]}" = "0 0 314 234" ]
}
fitted() { [ "$(window_rect "$title" | cut -d' ' -f3-)" = "314 234" ]; }
wait_for window_rect "$title" || fail "no window titled '$title'"
wait_for fitted || fail "tavrin's window does not fit the picture: $(window_rect "$title")"
swaymsg '[app_id="tavrin"] move position 0 0' >/dev/null
wait_for placed || fail "tavrin's window was not placed: $(window_rect "$title")"

# Drags the selection from view point ($1, $2) to ($3, $4) out to screen
# point ($5, $6), where a drop target waits with mode $7; the selection
# starts in a fresh place each time.
drag_out()
{
    local rect
    wait_for placed || fail "tavrin's window left its place or size: $(window_rect "$title")"
    rect=($(window_rect "$title")) || fail "no window titled '$title'"
    local ox=${rect[0]} oy=$((rect[1] + 20))
    mkdir -p "$WORK/$7"
    env QT_QPA_PLATFORM=wayland "$DROP_TARGET" "$WORK/$7" accept "$7" >"$WORK/$7.log" 2>&1 &
    TARGET_PID=$!
    wait_for window_rect "drop target" || fail "the drop target did not show"
    # The selection, then a drag that starts inside it.
    pointer move $((ox + $1 + 5)) $((oy + $2 + 5))
    pointer move $((ox + $1)) $((oy + $2))
    pointer press
    pointer glide $((ox + $3)) $((oy + $4)) 10
    pointer release
    pointer move $(((ox * 2 + $1 + $3) / 2)) $(((oy * 2 + $2 + $4) / 2))
    pointer press
    pointer glide $(($5 - 40)) "$6" 20
    pointer glide "$5" "$6" 5
    pointer release
}

# Ends the other program and waits until its window has left sway's tree,
# so that the next one is not mistaken for it.
stop_target()
{
    kill $TARGET_PID
    wait $TARGET_PID 2>/dev/null
    wait_for gone "drop target" || fail "the other program's window stays"
}
gone() { ! window_rect "$1"; }

# The source's pixels in the selection from ($1, $2) to ($3, $4), both corners
# included, against the image file $5.
same_pixels()
{
    convert "$picture" -crop "$(($3 - $1 + 1))x$(($4 - $2 + 1))+$1+$2" +repage "$WORK/expected.png"
    compare -metric AE "$WORK/expected.png" "$5" null: 2>&1
}

# A target that asks for the picture's data in PNG.
drag_out 20 30 120 90 600 300 png
wait_for test -s "$WORK/png/image.png"
check "PNG data reached the other program" "$(identify -format %wx%h "$WORK/png/image.png" 2>&1)" 101x61
check "its pixels are the selection's" "$(same_pixels 20 30 120 90 "$WORK/png/image.png")" 0
stop_target

# A target that asks for a file (text/uri-list): the file tavrin wrote for it.
drag_out 150 100 260 180 600 300 uri
wait_for test -s "$WORK/uri/from-uri"
check "a file reached the other program" "$(identify -format %m:%wx%h "$WORK/uri/from-uri" 2>&1)" \
    PNG:111x81
check "its pixels are the selection's" "$(same_pixels 150 100 260 180 "$WORK/uri/from-uri")" 0
stop_target

# A file dragged from another program opens in tavrin.
dropped=$WORK/green.png
convert -size 64x48 xc:green "PNG24:$dropped"
env QT_QPA_PLATFORM=wayland "$DROP_TARGET" "$WORK" drag "$dropped" >"$WORK/drag.log" 2>&1 &
TARGET_PID=$!
wait_for window_rect "drop target" || fail "the drag source did not show"
pointer move 605 305
pointer move 600 300
pointer press
pointer glide 560 300 5
pointer glide 150 150 20
pointer glide 140 140 3
pointer release
wait_for window_rect "green.png[64x48]"
check "a file dropped from another program opens" "$(window_rect "green.png[64x48]" >/dev/null && echo opened)" opened
stop_target

quit_tavrin native "green.png[64x48]"

[ $failures -eq 0 ] || exit 1
echo "wayland drag and drop: all checks passed"
