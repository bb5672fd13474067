#!/bin/sh
# Times whole conversions with tavrin-convert, libvips and ImageMagick at the
# same settings (uncompressed 24-bit Targa, binary PPM; GIF to PPM) and
# prints how many times longer the others take. Uses hyperfine when it is
# installed, else a loop timed with date.
#
# usage: bench/compare.sh [BUILD_DIR] [RUNS]
#   BUILD_DIR  a build configured with -DTAVRIN_BENCH=ON (default: build)
#   RUNS       runs per command (default: 5)
set -eu

build=${1:-build}
runs=${2:-5}
. "$(dirname "$0")/common.sh"
bench_prepare compare.sh "$build" vips convert
for picture in photo-24MP screenshot-4MP; do
    "$bin/tavrin-convert" "$work/$picture.ppm" "$work/$picture.tga"
    "$bin/tavrin-convert" "$work/$picture.ppm" "$work/$picture.gif"
done

# Prints the mean wall time in seconds of running "$@" $runs times.
mean_seconds() {
    if command -v hyperfine >/dev/null; then
        hyperfine --runs "$runs" --warmup 1 --export-csv "$work/h.csv" --style none \
            -- "$*" >/dev/null
        awk -F, 'NR == 2 { print $2 }' "$work/h.csv"
        return
    fi
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

printf '%-8s %-16s %-8s %10s %8s\n' task picture tool seconds ratio
for picture in photo-24MP screenshot-4MP; do
    in_tga="$work/$picture.tga"
    in_ppm="$work/$picture.ppm"
    out="$work/out"

    ours=$(mean_seconds "$bin/tavrin-convert" "$in_tga" "$out.ppm")
    vips_time=$(mean_seconds vips copy "$in_tga" "$out.ppm")
    im_time=$(mean_seconds convert "$in_tga" "$out.ppm")
    for row in "tavrin $ours" "vips $vips_time" "convert $im_time"; do
        set -- $row
        printf '%-8s %-16s %-8s %10.3f %8.2f\n' decode "$picture" "$1" "$2" \
            "$(echo "$2 / $ours" | bc -l)"
    done

    ours=$(mean_seconds "$bin/tavrin-convert" "$work/$picture.gif" "$out.ppm")
    vips_time=$(mean_seconds vips copy "$work/$picture.gif" "$out.ppm")
    im_time=$(mean_seconds convert "$work/$picture.gif" "$out.ppm")
    for row in "tavrin $ours" "vips $vips_time" "convert $im_time"; do
        set -- $row
        printf '%-8s %-16s %-8s %10.3f %8.2f\n' gif "$picture" "$1" "$2" \
            "$(echo "$2 / $ours" | bc -l)"
    done

    ours=$(mean_seconds "$bin/tavrin-convert" "$in_ppm" "$out.tga")
    vips_time=$(mean_seconds vips magicksave "$in_ppm" "$out.tga" --format TGA)
    im_time=$(mean_seconds convert "$in_ppm" -compress None "$out.tga")
    for row in "tavrin $ours" "vips $vips_time" "convert $im_time"; do
        set -- $row
        printf '%-8s %-16s %-8s %10.3f %8.2f\n' encode "$picture" "$1" "$2" \
            "$(echo "$2 / $ours" | bc -l)"
    done
done
echo "ratio: the tool's time over tavrin-convert's (above 1: tavrin is faster)"
