#!/usr/bin/env bash
# Edit > Copy, Paste and Paste into picture against real programs on an X
# desktop with openbox: xclip reads and sets the clipboard, copyq keeps a
# history of it. The copy is read in every format offered, and after the
# program has quit; pastes come from pictures, file lists and owners that
# never finish.
set -u
TAVRIN=$1
HOSTILE=$2
MANAGER=$3
. "$(dirname "$0")/xvfb.sh"
start_xvfb || exit 1
start_openbox || exit 1
work=$(mktemp -d)
pids=()
export XDG_CACHE_HOME=$work/cache
trap 'kill ${pids[@]} ${OPENBOX_PID:-} $XVFB_PID 2>/dev/null; rm -rf "$work" "$XDG_RUNTIME_DIR"' EXIT
helper="$(dirname "$TAVRIN")/tavrin-clipboard"
clip() { timeout 20 xclip -selection clipboard "$@"; }
# The helper that keeps the copy, when one runs (not a zombie).
keeper() { for p in $(pgrep -f "^$helper"); do [[ "$(ps -o stat= -p "$p")" == Z* ]] || echo "$p"; done; }
# Presses the primary button at one picture point and releases it at another.
select_area()
{
    local x y
    x=$(xwininfo -id "$main" | sed -n 's/.*Absolute upper-left X: *//p')
    y=$(($(xwininfo -id "$main" | sed -n 's/.*Absolute upper-left Y: *//p') + 20))
    xdotool mousemove $((x + $2)) $((y + $3)) mousedown 1
    glide $((x + $2)) $((y + $3)) $((x + $4)) $((y + $5))
    xdotool mouseup 1
}

convert -size 64x48 gradient:red-blue -fill yellow -draw "rectangle 10,10 20,30" -depth 8 \
    "PNG24:$work/sky.png"
convert -size 40x30 gradient:green-white -depth 8 "PNG24:$work/other.png"
convert -size 10x10 xc:magenta -depth 8 "PNG24:$work/dot.png"
# Random pixels compress badly: its PNG is well over what one X request carries.
convert -size 700x500 xc: +noise Random -depth 8 "PNG24:$work/noise.png"

"$TAVRIN" "$work/sky.png" &
pids+=($!)
main=$(wait_window "sky.png[64x48]" "${pids[0]}") || fail "no main window"
wait_focus "$main" || fail "the window did not take the focus"

# Ctrl+A and Shift: a 54x38 selection at the top-left; Ctrl+C copies it.
xdotool key ctrl+a ctrl+shift+Left ctrl+shift+Up ctrl+c
convert "$work/sky.png" -crop 54x38+0+0 +repage "$work/selected.png"
wait_for "clip -t TARGETS -o 2>/dev/null | grep -q '^image/png$'" || fail "Ctrl+C offered no image/png"
targets=$(clip -t TARGETS -o | tr '\n' ' ')
check "image/png is offered first" "$(clip -t TARGETS -o | grep -m1 '/')" "image/png"
for type in image/jpeg image/webp image/tiff text/uri-list x-special/gnome-copied-files; do
    check "$type offered" "$([[ " $targets " == *" $type "* ]] && echo yes)" yes
done
clip -t image/png -o >"$work/copied.png"
check "image/png is the selection" "$(compare -metric AE "$work/selected.png" "$work/copied.png" null: 2>&1)" 0
# Each format as its own tool reads it.
while read -r type format; do
    clip -t "$type" -o >"$work/as-$format"
    check "$type read by identify" "$(identify -format '%m %wx%h' "$format:$work/as-$format" 2>/dev/null)" "$format 54x38"
done <<EOF
image/jpeg JPEG
image/webp WEBP
image/tiff TIFF
image/bmp BMP3
image/gif GIF
image/x-portable-pixmap PPM
image/x-targa TGA
EOF
file=$(clip -t text/uri-list -o | head -1 | tr -d '\r' | sed 's|^file://||')
check "the uri-list file" "$(compare -metric AE "$work/selected.png" "$file" null: 2>&1)" 0
check "GNOME's list names the same file" "$(clip -t x-special/gnome-copied-files -o | tr '\n' ' ')" "copy file://$file"
check "the primary selection is untouched" "$(timeout 5 xclip -selection primary -t TARGETS -o 2>/dev/null | grep -c image)" 0

# Ctrl+V: another program's picture becomes the picture, as one change.
clip -t image/png -i "$work/other.png"
xdotool key ctrl+v
check "Ctrl+V shows the picture" "$(wait_title "$main" "Pasted[40x30]")" "Pasted[40x30]"
xdotool key Escape ctrl+c
wait_for "clip -t image/png -o >'$work/back.png' 2>/dev/null && compare -metric AE '$work/other.png' '$work/back.png' null: 2>/dev/null"
check "the pasted pixels" "$(compare -metric AE "$work/other.png" "$work/back.png" null: 2>&1)" 0
xdotool key ctrl+z
check "Ctrl+Z takes the paste back" "$(wait_title "$main" "sky.png[64x48]")" "sky.png[64x48]"

# Ctrl+Shift+V: into the picture at the selection's top-left.
clip -t image/png -i "$work/dot.png"
select_area 1 30 20 50 40
xdotool key ctrl+shift+v
convert "$work/sky.png" "$work/dot.png" -geometry +30+20 -composite "$work/into.png"
xdotool key Escape
# The paste lands once the clipboard has been read: copied until it shows.
wait_for "xdotool key ctrl+c; clip -t image/png -o >'$work/back.png' 2>/dev/null && compare -metric AE '$work/into.png' '$work/back.png' null: 2>/dev/null"
check "pasted into the picture" "$(compare -metric AE "$work/into.png" "$work/back.png" null: 2>&1)" 0
check "the picture keeps its name" "$(xdotool getwindowname "$main")" "sky.png[64x48]"

# A file manager's copy opens as a dropped file does.
cp "$work/other.png" "$work/copied file.png"
printf 'copy\nfile://%s/copied%%20file.png' "$work" | clip -t x-special/gnome-copied-files -i
xdotool key ctrl+v
check "Ctrl+V opens copied files" "$(wait_title "$main" "copied file.png[40x30]")" "copied file.png[40x30]"

# Owners that announce data and never send it, or never answer: the window
# goes on working meanwhile.
for mode in incr silent; do
    "$HOSTILE" "$mode" >"$work/hostile" &
    pids+=($!)
    wait_for "grep -q ready '$work/hostile'" || fail "the hostile owner did not start"
    if [ "$mode" = incr ]; then
        xdotool key ctrl+v ctrl+w
        title="tavrin ver.0.00"
    else
        xdotool key ctrl+v ctrl+z
        title="copied file.png[40x30]"
    fi
    check "responsive while an owner gives nothing ($mode)" "$(wait_title "$main" "$title")" "$title"
    kill "${pids[-1]}"
done

# The copy outlives the program: a large picture, served in increments.
xdotool key ctrl+o
panel=$(wait_window "Open" "${pids[0]}") || fail "Ctrl+O showed no Open panel"
wait_focus "$panel" && xdotool type --delay 20 "$work/noise.png" && xdotool key Return
check "opened" "$(wait_title "$main" "noise.png[700x500]")" "noise.png[700x500]"
wait_focus "$main"
xdotool key ctrl+c ctrl+q
wait_exit "${pids[0]}"
check "quits" "$EXIT_STATUS" 0
clip -t image/png -o >"$work/kept.png"
check "the copy after quit" "$(compare -metric AE "$work/noise.png" "$work/kept.png" null: 2>&1)" 0
check "a helper keeps it" "$(keeper | wc -l)" 1
echo taken | clip -i
wait_for '[ -z "$(keeper)" ]'
check "the helper ends once another program copies" "$(keeper | wc -l)" 0

# A clipboard manager of the freedesktop kind is handed the copy as the
# program quits, and the helper leaves it the clipboard.
"$MANAGER" "$work/saved.png" >"$work/manager" &
pids+=($!)
wait_for "grep -q ready '$work/manager'" || fail "the clipboard manager did not start"
"$TAVRIN" "$work/sky.png" &
pids+=($!)
main=$(wait_window "sky.png[64x48]" "${pids[-1]}") || fail "no main window"
wait_focus "$main"
xdotool key ctrl+c
wait_for "clip -t TARGETS -o 2>/dev/null | grep -q '^image/png$'"
xdotool key ctrl+q
wait_exit "${pids[-1]}"
wait_for "[ -s '$work/saved.png' ]"
check "the manager saved the copy" "$(compare -metric AE "$work/sky.png" "$work/saved.png" null: 2>&1)" 0
wait_for '[ -z "$(keeper)" ]'
check "the helper leaves the clipboard to the manager" "$(keeper | wc -l)" 0
kill "${pids[-2]}"

# A clipboard manager (copyq, which reads through Qt) gets the exact
# picture, before and after the program quits.
export XDG_CONFIG_HOME=$work/copyq XDG_DATA_HOME=$work/copyq
copyq >/dev/null 2>&1 &
pids+=($!)
wait_for "timeout 5 copyq count >/dev/null 2>&1" || fail "copyq did not start"
"$TAVRIN" "$work/sky.png" &
pids+=($!)
main=$(wait_window "sky.png[64x48]" "${pids[-1]}") || fail "no main window"
wait_focus "$main"
xdotool key ctrl+c
wait_for "timeout 10 copyq clipboard image/png >'$work/manager.png' && compare -metric AE '$work/sky.png' '$work/manager.png' null: 2>/dev/null"
check "copyq reads the copy" "$(compare -metric AE "$work/sky.png" "$work/manager.png" null: 2>&1)" 0
xdotool key ctrl+q
wait_exit "${pids[-1]}"
timeout 10 copyq clipboard image/png >"$work/manager.png"
check "copyq reads it after quit" "$(compare -metric AE "$work/sky.png" "$work/manager.png" null: 2>&1)" 0
copyq exit >/dev/null 2>&1
echo taken | clip -i
exit_checks clipboard
