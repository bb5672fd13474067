#!/bin/sh
# Measures how close GIF files stay to their photographic sources: the mean
# absolute difference per channel (in levels of 255) and the PSNR, for
# tavrin-convert, libvips (libimagequant) and ImageMagick at their default
# settings (all three dither), and the time each takes.
#
# Pictures: the bench's synthetic 24-megapixel photograph, ImageMagick's
# built-in rose photograph enlarged, and a plasma fractal.
#
# usage: bench/gif_quality.sh [BUILD_DIR]
#   BUILD_DIR  a build configured with -DTAVRIN_BENCH=ON (default: build)
set -eu

build=${1:-build}
. "$(dirname "$0")/common.sh"
bench_prepare gif_quality.sh "$build" vips convert compare
convert "$work/photo-24MP.ppm" "$work/photo-24MP.png"
convert rose: -resize 1400x900 "$work/rose.png"
convert -seed 7 -size 1600x1200 plasma:fractal -blur 0x1 -depth 8 "$work/plasma.png"

seconds() {
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    echo "$end - $start" | bc -l
}

printf '%-12s %-8s %8s %8s %9s\n' picture tool mean PSNR seconds
for picture in photo-24MP rose plasma; do
    source="$work/$picture.png"
    for tool in tavrin vips convert; do
        out="$work/$picture.$tool.gif"
        case $tool in
        tavrin) time=$(seconds "$bin/tavrin-convert" "$source" "$out") ;;
        vips) time=$(seconds vips copy "$source" "$out") ;;
        convert) time=$(seconds convert "$source" "$out") ;;
        esac
        # compare prints the error in quantum units (0..65535) first.
        mean=$(compare -metric MAE "$source" "$out" null: 2>&1 | awk '{printf "%.2f", $1 / 257}')
        psnr=$(compare -metric PSNR "$source" "$out" null: 2>&1 | awk '{printf "%.2f", $1}')
        printf '%-12s %-8s %8s %8s %9.2f\n' "$picture" "$tool" "$mean" "$psnr" "$time"
    done
done
