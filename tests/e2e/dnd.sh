#!/usr/bin/env bash
# Drag and drop with real programs under Xvfb: a selection dragged from one
# tavrin to another, onto its own image, into an independent program as a
# file and as image data; and a file dropped on tavrin from that program.
set -u
TAVRIN=$1
TARGET=$2
. "$(dirname "$0")/xvfb.sh"
start_xvfb || exit 1
work=$(mktemp -d)
export XDG_CACHE_HOME="$work/cache"
pids=()
trap 'kill ${pids[@]} $XVFB_PID 2>/dev/null; rm -rf "$work" "$XDG_RUNTIME_DIR"' EXIT
# A picture of distinct colours, and a plain blue one.
convert -size 180x120 xc:black -fill "rgb(255,0,0)" -draw "rectangle 20,20 40,35" \
    -fill "rgb(0,255,0)" -draw "rectangle 41,36 60,50" -depth 8 "PNG24:$work/source.png"
convert -size 180x120 xc:"rgb(0,0,255)" -depth 8 "PNG24:$work/blue.png"

# Selects from view point (x0, y0) to (x1, y1) in a window whose view starts
# at (vx, vy), and waits for the selection's frame on its right edge.
select_area()
{
    local vx=$1 vy=$2 x0=$3 y0=$4 x1=$5 y1=$6
    xdotool mousemove --sync $((vx + x0)) $((vy + y0)) mousedown 1
    glide $((vx + x0)) $((vy + y0)) $((vx + x1)) $((vy + y1)) 6
    xdotool mouseup 1
    wait_pixel $((vx + x1)) $((vy + (y0 + y1) / 2)) "255,255,255|100,100,100" >/dev/null
}

# Drags from a screen point to another with the primary button; the button
# rests a moment before the pointer moves, as a hand's does.
drag()
{
    xdotool mousemove --sync "$1" "$2" mousedown 1
    sleep 0.2
    glide "$1" "$2" "$3" "$4" 16
    xdotool mouseup 1
}

"$TAVRIN" "$work/source.png" &
pids+=($!)
a=$(wait_window "source.png[180x120]") || fail "no source window"
"$TAVRIN" "$work/blue.png" &
pids+=($!)
b=$(wait_window "blue.png[180x120]") || fail "no second window"
xdotool windowmove --sync "$b" 400 100
wait_pixel $((400 + 5)) $((120 + 5)) "0,0,255" >/dev/null

# 1: the red square's corner (20, 20) to (60, 50), dropped on the other window
# with the pointer 10, 10 into it at view point (50, 40): it lands at (40, 30).
select_area 100 120 20 20 60 50
drag 130 150 450 160
check "pasted top-left" "$(wait_pixel $((400 + 40)) $((120 + 30)) "255,0,0")" "255,0,0"
check "pasted bottom-right" "$(wait_pixel $((400 + 80)) $((120 + 60)) "0,255,0")" "0,255,0"
check "outside the paste" "$(pixel $((400 + 100)) $((120 + 80)))" "0,0,255"
check "other title kept" "$(xdotool getwindowname "$b")" "blue.png[180x120]"

# 2: onto its own image: the same selection copied to (120, 70).
select_area 100 120 20 20 60 50
drag 130 150 $((100 + 130)) $((120 + 80))
check "copied within top-left" "$(wait_pixel $((100 + 120)) $((120 + 70)) "255,0,0")" "255,0,0"
check "copied within bottom-right" "$(wait_pixel $((100 + 160)) $((120 + 100)) "0,255,0")" "0,255,0"
check "original still there" "$(pixel $((100 + 20)) $((120 + 20)))" "255,0,0"

kill "${pids[1]}"
wait "${pids[1]}" 2>/dev/null

# 3: into another program, which asks for a file, then for image data.
mkdir -p "$work/uri" "$work/png"
"$TARGET" "$work/uri" accept uri &
target=$!
pids+=($target)
wait_window "drop target" >/dev/null || fail "no drop target"
select_area 100 120 20 20 60 50
drag 130 150 480 160
# The target names the file last, once it has copied it.
wait_file "$work/uri/uri.txt"
check "file dropped" "$(identify -format '%wx%h' "$work/uri/from-uri" 2>/dev/null)" "41x31"
case "$(cat "$work/uri/uri.txt" 2>/dev/null)" in
"$XDG_CACHE_HOME"/tavrin/drag/*) echo "ok: file written under the cache" ;;
*) echo "FAIL: file not under the cache: $(cat "$work/uri/uri.txt" 2>/dev/null)" >&2
   failures=$((failures + 1)) ;;
esac
kill $target
wait $target 2>/dev/null

"$TARGET" "$work/png" accept png &
target=$!
pids+=($target)
wait_window "drop target" >/dev/null || fail "no drop target"
select_area 100 120 20 20 60 50
drag 130 150 480 160
wait_file "$work/png/image.png"
check "image data dropped" "$(identify -format '%wx%h' "$work/png/image.png" 2>/dev/null)" "41x31"
check "image data pixel" "$(convert "$work/png/image.png" -crop 1x1+0+0 -depth 8 txt:- 2>/dev/null | sed -n '2s/.*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1,\2,\3/p')" "255,0,0"
kill $target
wait $target 2>/dev/null

# 4: a PNG file dragged from that program onto tavrin is opened.
"$TARGET" "$work/png" drag "$work/blue.png" &
target=$!
pids+=($target)
wait_window "drop target" >/dev/null || fail "no drag source"
drag 450 150 150 160
check "dropped file opened" "$(wait_title "$a" "blue.png[180x120]")" "blue.png[180x120]"

exit_checks dnd
