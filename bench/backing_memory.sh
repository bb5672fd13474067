#!/usr/bin/env bash
# The memory the main window keeps for what it shows, in the real program
# under Xvfb: a 6000 x 4000 photo in a window as large as the picture, and a
# 64 x 64 picture in a window the user stretches to 32767 x 32767. Prints the
# peak (VmHWM) and current (VmRSS) resident memory once the window has shown
# the picture, against the picture's own bytes.
#
# usage: bench/backing_memory.sh [BUILD_DIR] [SCREEN]
#   BUILD_DIR  a Release build with the JPEG translator (default: build)
#   SCREEN     the X server's screen, WIDTHxHEIGHT (default: 1920x1080)
set -eu

build=${1:-build}
screen=${2:-1920x1080}
bin=$(cd "$build/bin" && pwd)
[ -x "$bin/tavrin" ] || { echo "backing_memory.sh: $bin/tavrin is missing; build it first" >&2; exit 1; }
for tool in Xvfb xdotool convert; do
    command -v $tool >/dev/null || { echo "backing_memory.sh: $tool is not installed" >&2; exit 1; }
done

. "$(dirname "$0")/../tests/e2e/xvfb.sh"
work=$(mktemp -d)
export XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache"
unset TRANSLATORS
XVFB_SIZE=${screen}x24 start_xvfb || { echo "backing_memory.sh: no X server" >&2; exit 1; }
trap 'kill $XVFB_PID 2>/dev/null; rm -rf "$work" "$XDG_RUNTIME_DIR"' EXIT

convert -size 6000x4000 gradient:navy-orange -quality 90 "$work/photo.jpg"
convert -size 64x64 gradient:white-green "$work/small.png"

status_mb() {
    awk -v key="$2:" '$1 == key {printf "%.0f", $2 / 1024}' "/proc/$1/status"
}

# Waits until the resident memory of pid stops changing for half a second.
settle() {
    local last=-1 now
    for _ in $(seq 100); do
        now=$(status_mb "$1" VmRSS)
        [ "$now" = "$last" ] && return
        last=$now
        sleep 0.5
    done
}

printf '%-34s %9s %9s\n' case "VmHWM MB" "VmRSS MB"

"$bin/tavrin" "$work/photo.jpg" >/dev/null 2>&1 &
pid=$!
wait_window "photo.jpg[6000x4000]" "$pid" >/dev/null || { echo "no window for the photo" >&2; exit 1; }
settle $pid
printf '%-34s %9s %9s\n' "6000x4000 photo (96 MB of pixels)" "$(status_mb $pid VmHWM)" "$(status_mb $pid VmRSS)"
kill $pid; wait $pid 2>/dev/null || true

"$bin/tavrin" "$work/small.png" >/dev/null 2>&1 &
pid=$!
id=$(wait_window "small.png[64x64]" "$pid") || { echo "no window for the small picture" >&2; exit 1; }
settle $pid
printf '%-34s %9s %9s\n' "64x64 picture" "$(status_mb $pid VmHWM)" "$(status_mb $pid VmRSS)"
# Without a window manager nothing holds the window to its size limits.
xdotool windowsize "$id" 32767 32767
for _ in $(seq 100); do
    [ "$(xdotool getwindowgeometry "$id" | grep -c 32767x32767)" = 1 ] && break
    sleep 0.1
done
settle $pid
printf '%-34s %9s %9s\n' "  stretched to 32767x32767" "$(status_mb $pid VmHWM)" "$(status_mb $pid VmRSS)"
kill $pid; wait $pid 2>/dev/null || true
