#!/bin/sh
# Times decoding TIFF files with tavrin-convert, libvips and ImageMagick, and
# measures each one's peak memory, for the layouts other programs write:
# LZW strips (libtiff's default of a few rows each), one uncompressed strip,
# 256 x 256 tiles, and planes per sample. Every tool writes binary PPM. Then
# encoding the photo as LZW strips, from PPM.
#
# usage: bench/compare_tiff.sh [BUILD_DIR] [RUNS]
#   BUILD_DIR  a build configured with -DTAVRIN_BENCH=ON (default: build)
#   RUNS       runs per command (default: 3)
set -eu

build=${1:-build}
runs=${2:-3}
. "$(dirname "$0")/common.sh"
[ -x /usr/bin/time ] || { echo "compare_tiff.sh: /usr/bin/time (Debian time) is needed" >&2; exit 1; }
bench_prepare compare_tiff.sh "$build" vips convert tiffcp bc
photo="$work/photo-24MP.ppm"
vips copy "$photo" "$work/strips-lzw.tif[compression=lzw]"
tiffcp -c none -r 0 "$work/strips-lzw.tif" "$work/one-strip.tif" 2>/dev/null ||
    vips copy "$photo" "$work/one-strip.tif"
vips copy "$photo" "$work/tiles-lzw.tif[compression=lzw,tile,tile-width=256,tile-height=256]"
tiffcp -p separate -c lzw "$work/strips-lzw.tif" "$work/planar-lzw.tif"

# Prints the mean wall time in seconds and the largest peak resident memory
# in MB of running "$@" $runs times.
measure() {
    "$@" >/dev/null 2>&1
    total=0
    peak=0
    i=0
    while [ $i -lt "$runs" ]; do
        start=$(date +%s.%N)
        /usr/bin/time -f %M -o "$work/rss" "$@" >/dev/null 2>&1
        end=$(date +%s.%N)
        total=$(echo "$total + $end - $start" | bc -l)
        rss=$(cat "$work/rss")
        [ "$rss" -gt "$peak" ] && peak=$rss
        i=$((i + 1))
    done
    echo "$(echo "$total / $runs" | bc -l) $((peak / 1024))"
}

printf '%-14s %-8s %10s %8s %8s\n' file tool seconds ratio "peak MB"
for file in strips-lzw one-strip tiles-lzw planar-lzw; do
    tif="$work/$file.tif"
    out="$work/out.ppm"
    set -- $(measure "$bin/tavrin-convert" "$tif" "$out")
    ours=$1
    ours_mb=$2
    set -- $(measure vips copy "$tif" "$out")
    vips_time=$1
    vips_mb=$2
    set -- $(measure convert "$tif" "$out")
    im_time=$1
    im_mb=$2
    for row in "tavrin $ours $ours_mb" "vips $vips_time $vips_mb" "convert $im_time $im_mb"; do
        set -- $row
        printf '%-14s %-8s %10.3f %8.2f %8s\n' "$file" "$1" "$2" "$(echo "$2 / $ours" | bc -l)" "$3"
    done
done
echo "ratio: the tool's time over tavrin-convert's (above 1: tavrin is faster)"

# Encoding: the photo from PPM to LZW strips (tavrin-convert's default
# compression), which tavrin writes a strip at a time as the rows come.
out="$work/out.tif"
set -- $(measure "$bin/tavrin-convert" "$photo" "$out")
ours=$1
ours_mb=$2
set -- $(measure vips copy "$photo" "$out[compression=lzw]")
vips_time=$1
vips_mb=$2
set -- $(measure convert "$photo" -compress lzw "$out")
im_time=$1
im_mb=$2
for row in "tavrin $ours $ours_mb" "vips $vips_time $vips_mb" "convert $im_time $im_mb"; do
    set -- $row
    printf '%-14s %-8s %10.3f %8.2f %8s\n' "encode-lzw" "$1" "$2" "$(echo "$2 / $ours" | bc -l)" "$3"
done
