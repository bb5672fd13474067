#!/usr/bin/env bash
# Opening a large picture in the real program, against feh, under Xvfb: the
# time from start to the picture's window, the processor time and the peak
# memory by then, and each program's median over the runs; tavrin's peak is
# also set against its start-up baseline (a tiny picture) plus 1.25 times
# the picture's pixels. Then how long a menu takes to open while tavrin saves
# a large PNG, against when it is idle.
#
# Both programs are started the same way, on the same file and screen, and
# the first frame is the moment a visible window of the process bears the
# picture's name (feh names its window once the picture is loaded, tavrin
# once it has decoded it). On a busy machine the wall-clock times scatter;
# the processor times are steadier.
#
# usage: bench/first_frame.sh [BUILD_DIR] [RUNS]
#   BUILD_DIR  a Release build with -DTAVRIN_BENCH=ON and the tests (default: build)
#   RUNS       runs per program and picture (default: 3)
set -eu

build=${1:-build}
runs=${2:-3}
bin=$(cd "$build/bin" && pwd)
for tool in "$bin/tavrin" "$bin/tavrin-convert" "$bin/translation_bench" "$bin/print_catalogue"; do
    [ -x "$tool" ] || { echo "first_frame.sh: $tool is missing; build it first" >&2; exit 1; }
done
for tool in feh Xvfb xdotool convert bc; do
    command -v $tool >/dev/null || { echo "first_frame.sh: $tool is not installed" >&2; exit 1; }
done

. "$(dirname "$0")/../tests/e2e/xvfb.sh"
work=$(mktemp -d)
export XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache"
unset TRANSLATORS
start_xvfb_sized() {
    XVFB_SIZE=2560x1600x24 start_xvfb
}
start_xvfb_sized || { echo "first_frame.sh: no X server" >&2; exit 1; }
trap 'kill $XVFB_PID 2>/dev/null; rm -rf "$work" "$XDG_RUNTIME_DIR"' EXIT

"$bin/translation_bench" --write-images "$work" >/dev/null
"$bin/tavrin-convert" "$work/photo-24MP.ppm" "$work/photo-24MP.jpg"
convert "$work/photo-24MP.ppm" -resize 4704x3136! -depth 8 "$work/photo-14.7MP.ppm"
"$bin/tavrin-convert" "$work/photo-14.7MP.ppm" "$work/photo-14.7MP.png"
convert -size 16x16 xc:gray "$work/tiny.png"

now() { date +%s.%N; }

# Starts "$@" and prints seconds until a visible window of the process has a
# title containing $title, then the peak resident memory in MB and the
# processor seconds (user and system) by then.
first_frame() {
    local title=$1
    shift
    local start end pid id found=""
    start=$(now)
    "$@" >/dev/null 2>&1 &
    pid=$!
    for _ in $(seq 6000); do
        for id in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null); do
            case "$(xdotool getwindowname "$id" 2>/dev/null)" in *"$title"*) found=$id ;; esac
        done
        [ -n "$found" ] && break
        sleep 0.005
    done
    end=$(now)
    local peak cpu
    peak=$(awk '/VmHWM/ {printf "%.1f", $2 / 1024}' "/proc/$pid/status" 2>/dev/null || echo "?")
    cpu=$(awk -v hz="$(getconf CLK_TCK)" '{printf "%.2f", ($14 + $15) / hz}' "/proc/$pid/stat" \
        2>/dev/null || echo "?")
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null || true
    [ -n "$found" ] || { echo "timeout ? ?"; return; }
    echo "$(echo "$end - $start" | bc -l) $peak $cpu"
}

median() { sort -g | awk '{v[NR] = $1} END {print NR ? v[int((NR + 1) / 2)] + 0 : "?"}'; }

# tavrin's memory with a picture of next to no pixels: the start-up baseline.
baseline=$(for _ in $(seq "$runs"); do
    set -- $(first_frame "tiny.png[" "$bin/tavrin" "$work/tiny.png")
    echo "$2"
done | median)
echo "tavrin's start-up baseline: $baseline MB"

printf '%-18s %-8s %10s %10s %10s\n' picture program seconds "peak MB" "cpu s"
summary=""
for picture in photo-14.7MP.png photo-24MP.jpg; do
    for program in tavrin feh; do
        results=""
        for _ in $(seq "$runs"); do
            if [ $program = tavrin ]; then
                set -- $(first_frame "$picture[" "$bin/tavrin" "$work/$picture")
            else
                set -- $(first_frame "$picture" feh "$work/$picture")
            fi
            printf '%-18s %-8s %10.3f %10s %10s\n' "$picture" $program "$1" "$2" "$3"
            results+="$1 $2 $3"$'\n'
        done
        line=$(printf '%-18s %-8s %10.3f %10s %10s' "$picture" $program \
            "$(echo -n "$results" | cut -d' ' -f1 | median)" \
            "$(echo -n "$results" | cut -d' ' -f2 | median)" \
            "$(echo -n "$results" | cut -d' ' -f3 | median)")
        if [ $program = tavrin ]; then
            # 4 bytes a pixel.
            case $picture in photo-14.7MP.png) pixels=$((4704 * 3136)) ;; *) pixels=$((6000 * 4000)) ;; esac
            limit=$(echo "$baseline + 1.25 * $pixels * 4 / 1048576" | bc -l)
            line+=$(printf '   (memory limit %.1f MB)' "$limit")
        fi
        summary+="$line"$'\n'
    done
done
echo "medians:"
echo -n "$summary"

# Seconds until a new visible window of pid (the File menu) appears after a
# click on the menu bar, then closes it again.
menu_opens() {
    local pid=$1 before start end count
    before=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | wc -l)
    # Not --sync: xdotool waits long for a motion event that never comes when
    # the pointer already stands there.
    start=$(now)
    xdotool mousemove 118 108 click 1
    for _ in $(seq 4000); do
        count=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | wc -l)
        [ "$count" -gt "$before" ] && break
        sleep 0.005
    done
    end=$(now)
    xdotool key Escape
    echo "$end - $start" | bc -l
}

"$bin/tavrin" "$work/photo-24MP.jpg" >/dev/null 2>&1 &
pid=$!
id=$(wait_window "photo-24MP.jpg[6000x4000]" "$pid") || { echo "no tavrin window" >&2; exit 1; }
xdotool windowmove "$id" 100 100
printf 'menu while idle:        %.3f s\n' "$(menu_opens "$pid")"
sleep 0.5
# File > Save as > PNG image, as a user would.
index=$(TRANSLATORS="$bin/translators" "$bin/print_catalogue" | grep -n -x "PNG image" | cut -d: -f1)
xdotool mousemove --sync 118 108 click 1
sleep 0.4
xdotool key Down Down Down
sleep 0.2
xdotool key Right
sleep 0.3
for _ in $(seq 2 "$index"); do xdotool key Down; sleep 0.05; done
xdotool key Return
panel=$(wait_window "PNG image") || { echo "no save panel" >&2; exit 1; }
sleep 0.5
xdotool windowfocus --sync "$panel" 2>/dev/null
xdotool type --delay 20 "$work/saved.png"
xdotool key Return
sleep 0.3
printf 'menu during a PNG save: %.3f s\n' "$(menu_opens "$pid")"
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null || true
