#!/bin/sh
# Times whole PNG and JPEG conversions with tavrin-convert, libvips and
# ImageMagick at the same settings and prints how many times longer the
# others take. The settings are the translators' defaults:
#   PNG:  zlib level 6, libpng's adaptive row filters, not interlaced
#   JPEG: quality 90, 4:2:0 chroma, baseline, standard Huffman tables
# Decoding writes binary PPM, which all three write at memory speed.
# ImageMagick is held to 8-bit RGB (PNG24:), as it would otherwise write a
# picture of few colours, such as the screenshot, with a palette.
#
# usage: bench/compare_png_jpeg.sh [BUILD_DIR] [RUNS]
#   BUILD_DIR  a build configured with -DTAVRIN_BENCH=ON (default: build)
#   RUNS       runs per command (default: 5)
set -eu

build=${1:-build}
runs=${2:-5}
. "$(dirname "$0")/common.sh"
bench_prepare compare_png_jpeg.sh "$build" vips convert bc
for picture in photo-24MP screenshot-4MP; do
    "$bin/tavrin-convert" "$work/$picture.ppm" "$work/$picture.png"
    "$bin/tavrin-convert" "$work/$picture.ppm" "$work/$picture.jpg"
done

# Prints the mean wall time in seconds of running "$@" $runs times.
mean_seconds() {
    "$@" >/dev/null 2>&1
    total=0
    i=0
    while [ $i -lt "$runs" ]; do
        start=$(date +%s.%N)
        "$@" >/dev/null 2>&1
        end=$(date +%s.%N)
        total=$(echo "$total + $end - $start" | bc -l)
        i=$((i + 1))
    done
    echo "$total / $runs" | bc -l
}

# Prints one row per tool: task, picture, tool, seconds, ratio to tavrin.
report() {
    task=$1 picture=$2 ours=$3 vips_time=$4 im_time=$5
    for row in "tavrin $ours" "vips $vips_time" "convert $im_time"; do
        set -- $row
        printf '%-12s %-16s %-8s %10.3f %8.2f\n' "$task" "$picture" "$1" "$2" \
            "$(echo "$2 / $ours" | bc -l)"
    done
}

printf '%-12s %-16s %-8s %10s %8s\n' task picture tool seconds ratio
for picture in photo-24MP screenshot-4MP; do
    ppm="$work/$picture.ppm"
    png="$work/$picture.png"
    jpg="$work/$picture.jpg"
    out="$work/out"

    report "PNG decode" "$picture" \
        "$(mean_seconds "$bin/tavrin-convert" "$png" "$out.ppm")" \
        "$(mean_seconds vips copy "$png" "$out.ppm")" \
        "$(mean_seconds convert "$png" "$out.ppm")"
    report "PNG encode" "$picture" \
        "$(mean_seconds "$bin/tavrin-convert" "$ppm" "$out.tavrin.png")" \
        "$(mean_seconds vips copy "$ppm" "$out.vips.png[compression=6,filter=all]")" \
        "$(mean_seconds convert "$ppm" -quality 65 "PNG24:$out.convert.png")"
    for tool in tavrin vips convert; do
        printf '%-12s %-16s %-8s %10s bytes\n' "PNG size" "$picture" $tool \
            "$(stat -c %s "$out.$tool.png")"
    done
    report "JPEG decode" "$picture" \
        "$(mean_seconds "$bin/tavrin-convert" "$jpg" "$out.ppm")" \
        "$(mean_seconds vips copy "$jpg" "$out.ppm")" \
        "$(mean_seconds convert "$jpg" "$out.ppm")"
    report "JPEG encode" "$picture" \
        "$(mean_seconds "$bin/tavrin-convert" "$ppm" "$out.jpg")" \
        "$(mean_seconds vips copy "$ppm" "$out.jpg[Q=90,subsample-mode=on]")" \
        "$(mean_seconds convert "$ppm" -quality 90 -sampling-factor 2x2 "$out.jpg")"
done
echo "ratio: the tool's time over tavrin-convert's (above 1: tavrin is faster)"
