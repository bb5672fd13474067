#!/usr/bin/env bash
# Drag and drop in a Wayland session, through the compositor's data device:
# tavrin, a native Wayland client, drags its selection to another native
# program, which asks for PNG data in one drop and for a file in another;
# a native program's PNG data and the selection of another copy of tavrin
# dropped on an empty tavrin become its picture; and a file dragged from
# that program onto tavrin opens there.
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
    mkdir -p "$WORK/$7"
    env QT_QPA_PLATFORM=wayland "$DROP_TARGET" "$WORK/$7" accept "$7" >"$WORK/$7.log" 2>&1 &
    TARGET_PID=$!
    wait_for window_rect "drop target" || fail "the drop target did not show"
    drag_selection "$@"
}

# The pointer's part of drag_out: the selection, then a drag that starts
# inside it and ends at screen point ($5, $6).
drag_selection()
{
    local rect
    wait_for placed || fail "tavrin's window left its place or size: $(window_rect "$title")"
    rect=($(window_rect "$title")) || fail "no window titled '$title'"
    local ox=${rect[0]} oy=$((rect[1] + 20))
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

# An empty tavrin at ($2, $3) ($1: a name for its files), clear of the
# first one and of the point the other program is pressed at.
empty_title="tavrin ver.0.00"
start_empty()
{
    env XDG_SESSION_TYPE=wayland "$TAVRIN" >"$WORK/$1.out" 2>"$WORK/$1.err" &
    EMPTY_PID=$!
    wait_for window_rect "$empty_title" || fail "$1: no empty window"
    swaymsg "[title=\"^$empty_title\$\"] move position $2 $3" >/dev/null
    wait_for at "$empty_title" "$2" "$3" || fail "$1: the empty window was not placed"
}
at() { [ "$(window_rect "$1" | cut -d' ' -f1-2)" = "$2 $3" ]; }
# Quits the empty tavrin, now titled $2, and checks how it ended.
quit_empty()
{
    local first=$TAVRIN_PID
    TAVRIN_PID=$EMPTY_PID
    quit_tavrin "$1" "$2"
    TAVRIN_PID=$first
}
# The screen's pixels at ($1, $2), $3 x $4, in the file $5.
grab() { grim -g "$1,$2 $3x$4" "$5"; }

# PNG data dragged from a native program becomes the picture of an empty
# tavrin, whose view asks for it once the drop has landed.
red=$WORK/red.png
convert -size 40x30 gradient:yellow-red "PNG24:$red"
start_empty png 450 330
mkdir -p "$WORK/offer"
env QT_QPA_PLATFORM=wayland "$DROP_TARGET" "$WORK/offer" offer image/png "$red" \
    >"$WORK/offer.log" 2>&1 &
TARGET_PID=$!
wait_for window_rect "drop target" || fail "the drag source did not show"
pointer move 605 305
pointer move 600 300
pointer press
pointer glide 580 330 5
pointer glide 550 400 20
pointer glide 545 405 3
pointer release
wait_for window_rect "no title[40x30]"
rect=($(window_rect "no title[40x30]")) || fail "dropped PNG data did not open: $(tail -5 "$WORK/png.err")"
grab "${rect[0]}" $((rect[1] + 20)) 40 30 "$WORK/png-shown.png"
check "the dropped PNG's pixels show" \
    "$(compare -metric AE "$red" "$WORK/png-shown.png" null: 2>&1)" 0
wait_for test -s "$WORK/offer/offered.txt"
check "the native program saw its drop taken" "$(cat "$WORK/offer/offered.txt")" dropped
stop_target
quit_empty png "no title[40x30]"

# The selection of one tavrin dropped on another: the data crosses between
# the two programs as it would between any two.
start_empty copy 450 330
drag_selection 40 50 140 110 550 400
wait_for window_rect "no title[101x61]"
rect=($(window_rect "no title[101x61]")) || fail "the other tavrin's selection did not open: $(tail -5 "$WORK/copy.err")"
grab "${rect[0]}" $((rect[1] + 20)) 101 61 "$WORK/copy-shown.png"
check "the other tavrin's pixels show" "$(same_pixels 40 50 140 110 "$WORK/copy-shown.png")" 0
quit_empty copy "no title[101x61]"

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
