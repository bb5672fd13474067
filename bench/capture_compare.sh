#!/usr/bin/env bash
# Capture latency on one Xvfb screen (1024 x 768): tavrin's File > Capture,
# from the menu command to the picture in its view, against whole runs of
# ImageMagick's `import -window root` and `scrot` taking the same screen.
#
# usage: bench/capture_compare.sh [BUILD_DIR] [RUNS]
#   BUILD_DIR  a build with tavrin and screen_pattern (tests on; Release for
#              numbers worth quoting); default: build
#   RUNS       captures per program and case (default: 10)
#
# tavrin is timed twice: on the bare root window, and with another program's
# window under it that repaints itself 5 ms after each Expose event (the
# screen copy then waits a little for it). The time of a tavrin capture runs
# from just before `xdotool key Return` on the Capture item to the moment a
# poller, already running, sees the capture's corner in the view; so the key
# event's trip through xdotool and the server counts against tavrin. The
# time a bare `xdotool key` run takes is printed too.
set -u

build=${1:-build}
runs=${2:-10}
bin=$(cd "$build/bin" && pwd)
TAVRIN=$bin/tavrin
PATTERN=$bin/screen_pattern
for tool in "$TAVRIN" "$PATTERN"; do
    [ -x "$tool" ] || { echo "capture_compare.sh: $tool is missing; build it first" >&2; exit 1; }
done
for tool in import scrot xdotool Xvfb; do
    command -v $tool >/dev/null || { echo "capture_compare.sh: $tool is not installed" >&2; exit 1; }
done

. "$(dirname "$0")/../tests/e2e/xvfb.sh"
start_xvfb || exit 1
work=$(mktemp -d)
trap 'kill $XVFB_PID 2>/dev/null; rm -rf "$work" "$XDG_RUNTIME_DIR"' EXIT
unset TRANSLATORS

now_ms() { echo $(($(date +%s%N) / 1000)) | sed 's/\(...\)$/.\1/'; }

median()
{
    sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.1f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# The File menu's title is at (18, 8) in the window, which stands at (100, 100).
menu_item()
{
    xdotool mousemove 118 108 click 1
    sleep 0.3
    local i
    for i in $(seq "$1"); do xdotool key Down; done
    sleep 0.1
}

# One capture: empty the view (File > Close), then File > Capture, timed.
tavrin_capture()
{
    menu_item 2
    xdotool key Return
    sleep 0.3
    menu_item 4
    "$PATTERN" wait 100 120 64 64 0 0 10000 >"$work/seen" &
    local poller=$!
    sleep 0.2
    local start
    start=$(now_ms)
    xdotool key --delay 0 Return
    wait $poller || { echo "capture_compare.sh: the capture never showed" >&2; exit 1; }
    awk -v s="$start" '{ printf "%.1f\n", $2 - s }' "$work/seen"
}

tavrin_runs()
{
    "$TAVRIN" &
    local pid=$!
    wait_window "tavrin ver.0.00" >/dev/null || { echo "capture_compare.sh: no window" >&2; exit 1; }
    sleep 0.3
    tavrin_capture >/dev/null # the first one loads what a capture needs
    local i
    for i in $(seq "$runs"); do tavrin_capture; done
    kill $pid
    wait $pid 2>/dev/null
}

whole_process_runs()
{
    local i start end
    for i in $(seq "$runs"); do
        start=$(date +%s%N)
        "$@" "$work/shot-$i.png" >/dev/null 2>&1
        end=$(date +%s%N)
        echo "scale=1; ($end - $start) / 1000000" | bc
    done
}

"$PATTERN" paint || exit 1
tavrin_bare=$(tavrin_runs | median)

"$PATTERN" cover 5 &
cover=$!
sleep 0.5
tavrin_covered=$(tavrin_runs | median)
kill $cover
wait $cover 2>/dev/null
"$PATTERN" paint || exit 1

import_ms=$(whole_process_runs import -window root | median)
"$PATTERN" image "$work/shot-1.png" 0 0 >/dev/null || { echo "import did not take the screen" >&2; exit 1; }
scrot_ms=$(whole_process_runs scrot | median)
"$PATTERN" image "$work/shot-1.png" 0 0 >/dev/null || { echo "scrot did not take the screen" >&2; exit 1; }

xdotool_ms=$(whole_process_runs sh -c 'xdotool key --delay 0 Shift; true' | median)

echo "median of $runs captures of a 1024x768 Xvfb screen, in ms:"
printf "  %-48s %8s\n" "tavrin, File > Capture to picture in view" "$tavrin_bare"
printf "  %-48s %8s\n" "tavrin, same, another program's window under it" "$tavrin_covered"
printf "  %-48s %8s\n" "import -window root (whole process)" "$import_ms"
printf "  %-48s %8s\n" "scrot (whole process)" "$scrot_ms"
printf "  %-48s %8s\n" "(xdotool key alone, included in tavrin's times)" "$xdotool_ms"
echo "ratios (other / tavrin on the bare screen):"
echo "  import: $(echo "scale=2; $import_ms / $tavrin_bare" | bc)x"
echo "  scrot:  $(echo "scale=2; $scrot_ms / $tavrin_bare" | bc)x"
