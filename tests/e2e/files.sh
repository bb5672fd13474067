#!/usr/bin/env bash
# Opening a picture from the command line and saving it through the menus,
# as a user would, in the real program under Xvfb.
set -u
TAVRIN=$1
CATALOGUE=$2
. "$(dirname "$0")/xvfb.sh"
start_xvfb || exit 1
work=$(mktemp -d)
trap 'kill $XVFB_PID 2>/dev/null; rm -rf "$work" "$XDG_RUNTIME_DIR"' EXIT
# A 64 x 48 picture with distinct pixels.
convert -size 64x48 gradient:red-blue -fill yellow -draw "rectangle 10,10 20,30" -depth 8 "PNG24:$work/sky.png"

"$TAVRIN" "$work/sky.png" &
pid=$!
id=$(wait_window "sky.png[64x48]") || fail "no window titled 'sky.png[64x48]'"
info=$(xwininfo -id "$id")
check "window width" "$(echo "$info" | awk '/Width:/ {print $2}')" $((63 + 14 + 1))
check "window height" "$(echo "$info" | awk '/Height:/ {print $2}')" $((47 + 34 + 1))

# File > Save as > PNG image, by keyboard once the File menu is open.
index=$("$CATALOGUE" | grep -n -x "PNG image" | cut -d: -f1)
[ -n "$index" ] || fail "no PNG writer in the catalogue"
open_menu $pid 118 108
xdotool key Down Down Down Down Right
wait_menu $pid 2 || fail "no Save as submenu"
for _ in $(seq 2 "$index"); do xdotool key Down; done
xdotool key Return
panel=$(wait_window "PNG image" $pid) || fail "no save panel titled 'PNG image'"
wait_focus "$panel" || fail "the save panel did not take the focus"
xdotool type --delay 20 "$work/saved.png"
xdotool key Return
wait_file "$work/saved.png" || fail "nothing was saved"
check "saved pixels" "$(compare -metric AE "$work/sky.png" "$work/saved.png" null: 2>&1)" 0
check "saved type" "$(getfattr --only-values -n user.mime_type "$work/saved.png" 2>/dev/null)" "image/png"

kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
exit_checks files
