#!/bin/sh
# Times HEIC, AVIF and JPEG XL conversions of the 24-megapixel photo-like
# picture with tavrin-convert, the libraries' own tools, libvips and
# ImageMagick (which has no JPEG XL in Debian's version 6), and prints the
# processor time (user + system, steadier than wall time on a shared
# machine), the wall time and the output's size. Settings match the
# translators' defaults:
#   HEIC:    x265 at libheif quality 75, 4:2:0
#   AVIF:    aom at speed 6, quantizer 16 (quality 75), 4:2:0, 2 threads
#   JPEG XL: distance 1 (quality 90), effort 7
# The tools that cannot write PPM decode to PNG, which costs them a little.
#
# usage: bench/compare_phone_formats.sh [BUILD_DIR] [RUNS]
#   BUILD_DIR  a build configured with -DTAVRIN_BENCH=ON (default: build)
#   RUNS       runs per command (default: 1)
set -eu

build=${1:-build}
runs=${2:-1}
. "$(dirname "$0")/common.sh"
bench_prepare compare_phone_formats.sh "$build" vips convert heif-enc heif-convert avifenc avifdec cjxl djxl /usr/bin/time
ppm=$work/photo-24MP.ppm
png=$work/photo-24MP.png
convert "$ppm" "PNG24:$png"
out=$work/out

# Runs "$@" $runs times and prints the mean processor and wall seconds.
measure() {
    cpu=0
    wall=0
    i=0
    while [ $i -lt "$runs" ]; do
        /usr/bin/time -f "%U %S %e" -o "$work/time" "$@" >/dev/null 2>&1 || { echo "failed"; return; }
        read -r user system elapsed <"$work/time"
        cpu=$(echo "$cpu + $user + $system" | bc -l)
        wall=$(echo "$wall + $elapsed" | bc -l)
        i=$((i + 1))
    done
    printf '%8.2f %8.2f' "$(echo "$cpu / $runs" | bc -l)" "$(echo "$wall / $runs" | bc -l)"
}

row() {
    task=$1 tool=$2 file=$3
    shift 3
    times=$(measure "$@")
    size=-
    [ "$file" = - ] || size=$(stat -c %s "$file" 2>/dev/null || echo -)
    printf '%-14s %-14s %s %10s\n' "$task" "$tool" "$times" "$size"
}

printf '%-14s %-14s %8s %8s %10s\n' task tool cpu-s wall-s bytes
row "HEIC encode" tavrin "$out.heic" "$bin/tavrin-convert" "$ppm" "$out.heic"
row "HEIC encode" heif-enc "$out-t.heic" heif-enc -q 75 -o "$out-t.heic" "$png"
row "HEIC encode" vips "$out-v.heic" vips copy "$ppm" "$out-v.heic[Q=75,compression=hevc]"
row "HEIC encode" convert "$out-c.heic" convert "$ppm" -quality 75 "$out-c.heic"
row "HEIC decode" tavrin - "$bin/tavrin-convert" "$out-t.heic" "$out.ppm"
row "HEIC decode" heif-convert - heif-convert "$out-t.heic" "$out.png"
row "HEIC decode" vips - vips copy "$out-t.heic" "$out.ppm"
row "HEIC decode" convert - convert "$out-t.heic" "$out.ppm"

row "AVIF encode" tavrin "$out.avif" "$bin/tavrin-convert" "$ppm" "$out.avif"
row "AVIF encode" avifenc "$out-t.avif" avifenc -s 6 -j 2 -y 420 --min 16 --max 16 \
    "$png" "$out-t.avif"
row "AVIF encode" vips "$out-v.avif" vips copy "$ppm" "$out-v.avif[Q=75,compression=av1,effort=4]"
row "AVIF decode" tavrin - "$bin/tavrin-convert" "$out-t.avif" "$out.ppm"
row "AVIF decode" avifdec - avifdec -j 2 "$out-t.avif" "$out.png"
row "AVIF decode" vips - vips copy "$out-t.avif" "$out.ppm"
row "AVIF decode" convert - convert "$out-t.avif" "$out.ppm"

row "JXL encode" tavrin "$out.jxl" "$bin/tavrin-convert" "$ppm" "$out.jxl"
row "JXL encode" cjxl "$out-t.jxl" cjxl "$ppm" "$out-t.jxl" -d 1 --num_threads=2
row "JXL encode" vips "$out-v.jxl" vips copy "$ppm" "$out-v.jxl[Q=90]"
row "JXL decode" tavrin - "$bin/tavrin-convert" "$out-t.jxl" "$out.ppm"
row "JXL decode" djxl - djxl "$out-t.jxl" "$out.ppm" --num_threads=2
row "JXL decode" vips - vips copy "$out-t.jxl" "$out.ppm"
