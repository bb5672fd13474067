#!/usr/bin/env bash
# tavrin started with a picture in a Wayland session: its window fits the
# picture (300 x 200, with the scroll bars and the menu bar 314 x 234) every
# time, however the compositor's answer to the window's first showing and
# the program's fitting it to the picture fall, and when it comes back from
# another workspace. A window first shows with the size it keeps, so that
# the compositor places it whole on the screen, a picture larger than the
# screen's included.
#
#   wayland_size.sh TAVRIN WAYLAND_POINTER [STARTS]
set -u
TAVRIN=$1
POINTER=$2
STARTS=${3:-5}
HERE=$(cd "$(dirname "$0")" && pwd)

. "$HERE/wayland_session.sh"

picture=$WORK/source.png
convert -size 300x200 gradient:red-blue "PNG24:$picture"
title="source.png[300x200]"

size_of() { window_rect "$1" | cut -d' ' -f3-; }
fitted() { [ "$(size_of "$title")" = "314 234" ]; }
gone() { ! window_rect "$1"; }
# The colour of the screen's pixel ($1, $2) as "r,g,b".
pixel() { grim -g "$1,$2 1x1" - | convert - -format '%[fx:int(255*r)],%[fx:int(255*g)],%[fx:int(255*b)]' info:; }
white() { [ "$(pixel "$1" "$2")" = 255,255,255 ]; }
# Each start: the window must reach the picture's size, and keep it when it
# leaves the screen and comes back; then a click opens the File menu, and
# once the menu shows, tavrin has handled everything the compositor sent
# before the click, so the size it reaches then is the one it keeps. Quit,
# the menu's last item, ends it.
for run in $(seq "$STARTS"); do
    env XDG_SESSION_TYPE=wayland "$TAVRIN" "$picture" >"$WORK/run$run.out" 2>"$WORK/run$run.err" &
    TAVRIN_PID=$!
    wait_for window_rect "$title" || fail "start $run: no window titled '$title'"
    wait_for fitted
    # Away to another workspace and back: sway tells the window of each
    # change of its state, with a size.
    swaymsg workspace 2 >/dev/null
    swaymsg workspace 1 >/dev/null
    wait_for window_rect "$title" || fail "start $run: the window did not come back"
    rect=($(window_rect "$title"))
    # The menu's white shows where the picture is red and blue.
    pointer move $((rect[0] + 30)) $((rect[1] + 10))
    pointer move $((rect[0] + 18)) $((rect[1] + 8))
    pointer click
    wait_for white $((rect[0] + 20)) $((rect[1] + 60)) || fail "start $run: the File menu did not open"
    # The window's own surface may show its last size a frame after the menu.
    wait_for fitted
    check "start $run: the window fits the picture" "$(size_of "$title")" "314 234"
    pointer move $((rect[0] + 46)) $((rect[1] + 269))
    pointer click
    wait_quit "run$run"
    wait_for gone "$title" || fail "start $run: the window stays"
done

# The compositor's account of the windows, from before tavrin starts: the
# subscription holds once the workspace change made for it shows.
swaymsg -t subscribe -m -r '["window", "workspace"]' >"$WORK/events" 2>&1 &
subscribed() { grep -q '"old"' "$WORK/events"; }
for _ in $(seq 20); do
    swaymsg workspace 2 >/dev/null
    swaymsg workspace 1 >/dev/null
    wait_for subscribed && break
done
subscribed || fail "sway's window events do not come"
big=$WORK/big.png
convert -size 1000x700 gradient:red-blue "PNG24:$big"
env XDG_SESSION_TYPE=wayland "$TAVRIN" "$big" >"$WORK/big.out" 2>"$WORK/big.err" &
TAVRIN_PID=$!
wait_for window_rect "big.png[1000x700]" || fail "no window titled 'big.png[1000x700]'"
rect=($(window_rect "big.png[1000x700]"))
# The size the window first showed with, from its first event.
first_size=$(python3 -c '
import json, sys
for line in open(sys.argv[1]):
    event = json.loads(line) if line.startswith("{") else {}
    geometry = event.get("container", {}).get("geometry")
    if "container" in event and geometry:
        print(geometry["width"], geometry["height"])
        break' "$WORK/events")
check "a large picture's window first shows with its size" "$first_size" "${rect[2]} ${rect[3]}"
check "and lies on the screen" \
    "$(((rect[0] >= 0 && rect[1] >= 0 && rect[0] + rect[2] <= WIDTH && rect[1] + rect[3] <= HEIGHT)))" 1
quit_tavrin big "big.png[1000x700]"

[ $failures -eq 0 ] || exit 1
echo "wayland window size: all checks passed"
