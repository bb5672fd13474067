#!/usr/bin/env bash
# The clipboard in a Wayland session (headless sway), against wl-clipboard:
# Ctrl+V shows what wl-copy set, Ctrl+C is read by wl-paste in its types,
# and still after the program has quit, until wl-copy takes the clipboard.
#
#   wayland_clipboard.sh TAVRIN WAYLAND_POINTER
set -u
TAVRIN=$1
POINTER=$2
HERE=$(cd "$(dirname "$0")" && pwd)

. "$HERE/wayland_session.sh"
command -v wl-copy >/dev/null || skip "wl-copy is missing (package wl-clipboard)"

helper="$(dirname "$TAVRIN")/tavrin-clipboard"
convert -size 64x48 gradient:red-blue -fill yellow -draw "rectangle 10,10 20,30" -depth 8 \
    "PNG24:$WORK/sky.png"
convert -size 40x30 gradient:green-white -depth 8 "PNG24:$WORK/other.png"
# Ctrl and key $2 for the window titled $1, again until the command $3...
# holds: the keyboard may be elsewhere for a moment when the key comes.
ctrl()
{
    local title=$1 key=$2
    shift 2
    for _ in 1 2 3 4 5; do
        focus "$title"
        wtype -s 300 -M ctrl "$key" -m ctrl
        wait_for "$@" && return 0
    done
    return 1
}
running() { kill -0 $TAVRIN_PID 2>/dev/null; }
stopped() { ! running; }
offers_file() { wl-paste --list-types | grep -qx text/uri-list; }
titled() { window_rect "$1" >/dev/null; }
helper_runs() { pgrep -f "^$helper" >/dev/null; }
helper_gone() { ! helper_runs; }

env XDG_SESSION_TYPE=wayland "$TAVRIN" "$WORK/sky.png" >"$WORK/tavrin.out" 2>"$WORK/tavrin.err" &
TAVRIN_PID=$!
wait_for titled "sky.png[64x48]" || fail "no window titled 'sky.png[64x48]'"
# A click on the picture gives the window the keyboard back (wl-copy and
# wl-paste may take it for a moment); Escape hides the one-pixel selection
# the click makes.
focus()
{
    local rect
    rect=($(window_rect "$1"))
    pointer move $((rect[0] + 30)) $((rect[1] + 40))
    pointer move $((rect[0] + 31)) $((rect[1] + 41))
    pointer click
    wtype -s 300 -k Escape
}

wl-copy -t image/png <"$WORK/other.png"
ctrl "sky.png[64x48]" v titled "Pasted[40x30]"
check "Ctrl+V shows what wl-copy set" "$(titled "Pasted[40x30]" && echo yes)" yes
ctrl "Pasted[40x30]" z titled "sky.png[64x48]" || fail "Ctrl+Z did not take the paste back"

ctrl "sky.png[64x48]" c offers_file
check "image/png offered first" "$(wl-paste --list-types | head -1)" image/png
check "a file offered" "$(wl-paste --list-types | grep -c '^text/uri-list$')" 1
wl-paste -t image/png >"$WORK/copied.png"
check "wl-paste gets the picture" "$(compare -metric AE "$WORK/sky.png" "$WORK/copied.png" null: 2>&1)" 0
check "and as JPEG" "$(wl-paste -t image/jpeg | identify -format '%m %wx%h' - 2>/dev/null)" "JPEG 64x48"

ctrl "sky.png[64x48]" q stopped
wait_quit tavrin
wl-paste -t image/png >"$WORK/kept.png"
check "the copy after quit" "$(compare -metric AE "$WORK/sky.png" "$WORK/kept.png" null: 2>&1)" 0
echo taken | wl-copy
wait_for helper_gone
check "the helper ends once wl-copy takes the clipboard" "$(helper_runs || echo gone)" gone
[ $failures -eq 0 ] || exit 1
echo "wayland clipboard: all checks passed"
