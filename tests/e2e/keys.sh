#!/usr/bin/env bash
# The real program by keyboard alone, as a user without a mouse: open a
# picture, crop it, undo and redo, save it with Ctrl+S, quit with Ctrl+Q.
set -u
TAVRIN=$1
. "$(dirname "$0")/xvfb.sh"
start_xvfb || exit 1
work=$(mktemp -d)
trap 'kill $XVFB_PID 2>/dev/null; rm -rf "$work" "$XDG_RUNTIME_DIR"' EXIT
convert -size 64x48 gradient:red-blue -fill yellow -draw "rectangle 10,10 20,30" -depth 8 "PNG24:$work/sky.png"

"$TAVRIN" &
pid=$!
main=$(wait_window "tavrin ver.0.00" "$pid") || fail "no main window"
wait_focus "$main" || fail "the main window did not take the focus"

# Ctrl+O: the Open panel, a path typed, Return.
xdotool key ctrl+o
panel=$(wait_window "Open" "$pid") || fail "Ctrl+O showed no Open panel"
wait_focus "$panel" || fail "the Open panel did not take the focus"
xdotool type --delay 20 "$work/sky.png"
xdotool key Return
check "Ctrl+O opens the picture" "$(wait_title "$main" "sky.png[64x48]")" "sky.png[64x48]"
wait_focus "$main" || fail "the main window did not take the focus back"

# The whole picture selected, ten pixels off its right and bottom, Enter.
xdotool key ctrl+a ctrl+shift+Left ctrl+shift+Up Return
check "Enter crops to the selection" "$(wait_title "$main" "sky.png[54x38]")" "sky.png[54x38]"
xdotool key ctrl+z
check "Ctrl+Z undoes the crop" "$(wait_title "$main" "sky.png[64x48]")" "sky.png[64x48]"
xdotool key ctrl+shift+z
check "Ctrl+Shift+Z redoes it" "$(wait_title "$main" "sky.png[54x38]")" "sky.png[54x38]"

# Ctrl+S: Save as PNG, under a name without extension, which gets one.
xdotool key ctrl+s
panel=$(wait_window "PNG image" "$pid") || fail "Ctrl+S showed no PNG save panel"
wait_focus "$panel" || fail "the save panel did not take the focus"
xdotool key ctrl+a
xdotool type --delay 20 "$work/cropped"
xdotool key Return
wait_file "$work/cropped.png" || fail "Ctrl+S saved nothing as cropped.png"
convert "$work/sky.png" -crop 54x38+0+0 +repage "$work/expected.png"
check "saved pixels" "$(compare -metric AE "$work/expected.png" "$work/cropped.png" null: 2>&1)" 0
check "saved type" "$(getfattr --only-values -n user.mime_type "$work/cropped.png" 2>/dev/null)" "image/png"
wait_gone "$panel"

# F10 opens the menu bar; Escape closes it again.
wait_focus "$main" || fail "the main window did not take the focus back"
xdotool key F10
wait_menu "$pid" || fail "F10 opened no menu"
xdotool key Escape Escape
wait_no_menu "$pid" || fail "Escape left the menu open"

xdotool key ctrl+q
wait_exit "$pid"
check "Ctrl+Q quits" "$EXIT_STATUS" 0
exit_checks keys
