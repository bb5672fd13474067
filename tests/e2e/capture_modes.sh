#!/usr/bin/env bash
# Captures from the command line, as a desktop's key binding starts them: a
# region dragged on the frozen screen and a clicked window are the screen's
# exact device pixels at scale 1 and 2, Escape leaves no file, a delay
# captures the screen as it is when it ends, and a settings panel behind the
# main window is in no picture.
set -u
TAVRIN=$1
PATTERN=$2
. "$(dirname "$0")/xvfb.sh"
start_xvfb || exit 1
start_openbox || exit 1
out=$XDG_RUNTIME_DIR/out
mkdir -p "$out"
"$PATTERN" paint || fail "cannot paint the screen"

# Waits until the process shows its full-screen overlay.
wait_overlay()
{
    wait_menu "$1" || fail "$2: no overlay"
}

# Pixels of two images that differ ("size" when their sizes do).
differences()
{
    [ "$(identify -format %wx%h "$1")" = "$(identify -format %wx%h "$2")" ] || {
        echo size
        return
    }
    compare -metric AE "$1" "$2" null: 2>&1
}

xmessage -geometry 300x200+400+300 "a test window" &
test_window=$!
target=$(wait_window xmessage) || fail "no test window"
wait_framed "$target"

# scale: the Xft.dpi or scale factor that gives it, and the drag's corners
# in device pixels.
for setting in "1 dpi 96 101 77 330 260" "2 dpi 192 61 43 420 305" "1.5 factor 1.5 61 43 999 705"; do
    read -r scale how value x1 y1 x2 y2 <<<"$setting"
    unset QT_SCREEN_SCALE_FACTORS
    if [ "$how" = dpi ]; then
        echo "Xft.dpi: $value" | xrdb -merge
    else
        xrdb -remove
        export QT_SCREEN_SCALE_FACTORS=$value
    fi

    "$TAVRIN" --capture=region --output "$out/r$scale.png" &
    pid=$!
    wait_overlay $pid "scale $scale region"
    xdotool mousemove $x1 $y1 mousedown 1
    glide $x1 $y1 $x2 $y2 6 0
    xdotool mouseup 1
    wait_exit $pid
    check "scale $scale: region status" "$EXIT_STATUS" 0
    import -window root -crop "$((x2 - x1 + 1))x$((y2 - y1 + 1))+$x1+$y1" "$out/root$scale.png"
    check "scale $scale: the region is the screen's pixels" \
        "$(differences "$out/r$scale.png" "$out/root$scale.png")" 0

    "$TAVRIN" --capture=window --output "$out/w$scale.png" &
    pid=$!
    wait_overlay $pid "scale $scale window"
    xdotool mousemove 550 420 click 1
    wait_exit $pid
    check "scale $scale: window status" "$EXIT_STATUS" 0
    import -window "$target" "$out/target$scale.png"
    check "scale $scale: the clicked window exactly" \
        "$(differences "$out/w$scale.png" "$out/target$scale.png")" 0
done
unset QT_SCREEN_SCALE_FACTORS
kill $test_window

# The whole screen to standard output as PNG, and on the clipboard after the
# program has ended; a name of no known format is refused in one line.
"$TAVRIN" --capture --output - --clipboard >"$out/stdout.png"
check "standard output: status" $? 0
"$PATTERN" image "$out/stdout.png" 0 0 >/dev/null
check "standard output: the screen as PNG" "$? $(identify -format %m "$out/stdout.png")" "0 PNG"
xclip -selection clipboard -t image/png -o >"$out/clipboard.png" 2>/dev/null
check "--clipboard: the same picture after the end" \
    "$(differences "$out/clipboard.png" "$out/stdout.png")" 0
echo taken | xclip -selection clipboard -i
"$TAVRIN" --capture --output "$out/shot.nope" 2>"$out/nope.err"
check "unknown extension: status and one line" "$? $(wc -l <"$out/nope.err")" "1 1"

# Escape: no file, status 1.
"$TAVRIN" --capture=region --output "$out/none.png" &
pid=$!
wait_overlay $pid "escape"
xdotool key Escape
wait_exit $pid
check "Escape: status" "$EXIT_STATUS" 1
check "Escape: no file" "$([ -e "$out/none.png" ] && echo made || echo none)" none

# The second button drops a drag; the keys then make a selection at the
# pointer, size it with Shift (four by three) and move it a pixel right.
"$TAVRIN" --capture=region --output "$out/keys.png" &
pid=$!
wait_overlay $pid "keys"
xdotool mousemove 100 100 mousedown 1
glide 100 100 200 150 4 0
xdotool click 3 mouseup 1
xdotool key shift+Right shift+Right shift+Right shift+Down shift+Down Right Return
wait_exit $pid
check "keys: status" "$EXIT_STATUS" 0
import -window root -crop 4x3+201+150 "$out/keys-root.png"
check "keys: the region the keys made" "$(differences "$out/keys.png" "$out/keys-root.png")" 0

# The delay is what is tested here: the screen changes one second into a
# two-second delay, and the picture shows it changed.
"$TAVRIN" --capture --delay 2 --output "$out/later.png" &
pid=$!
sleep 1
"$PATTERN" paint 37 11 || fail "cannot paint the screen"
wait_exit $pid
check "delay: status" "$EXIT_STATUS" 0
"$PATTERN" image "$out/later.png" 37 11 >/dev/null
check "delay: the screen as it was when the delay ended" $? 0

# Escape during a delay: the program ends at once, with no file.
"$TAVRIN" --capture=region --delay 10 --output "$out/none.png" &
pid=$!
sleep 1
xdotool key Escape
wait_exit $pid
check "Escape during the delay: status" "$EXIT_STATUS" 1
check "Escape during the delay: no file" "$([ -e "$out/none.png" ] && echo made || echo none)" none

# A settings panel open behind the main window: File > Capture shows the
# screen under both (the view, below the 20-pixel menu bar, shows the
# capture from its corner on), nothing of the panel.
"$TAVRIN" &
pid=$!
id=$(wait_window "tavrin ver.0.00" $pid) || fail "no main window"
wait_framed "$id"
read -r wx wy <<<"$(xwininfo -id "$id" | awk '/Absolute upper-left X:/ {x = $4}
                                              /Absolute upper-left Y:/ {y = $4} END {print x, y}')"
open_menu $pid $((wx + 18)) $((wy + 8))
xdotool key Right Right Right Down Return
panel=""
for _ in $(seq 50); do
    for w in $(xdotool search --onlyvisible --pid $pid 2>/dev/null); do
        [ "$w" != "$id" ] && xwininfo -id "$w" | grep -q "Override Redirect State: no" && panel=$w
    done
    [ -n "$panel" ] && break
    sleep 0.1
done
[ -n "$panel" ] || fail "no settings panel"
xdotool windowmove --sync "$panel" $((wx + 20)) $((wy + 30))
xdotool windowactivate --sync "$id"
wait_focus "$id"
open_menu $pid $((wx + 18)) $((wy + 8))
xdotool key Down Down Down Down Down Return
wait_title "$id" "tavrin ver.0.00[1024x768]" >/dev/null
xdotool windowactivate --sync "$id"
"$PATTERN" wait $wx $((wy + 20)) 400 300 37 11 5000 >/dev/null
check "the panel behind the window is not in the capture" $? 0
kill $pid
wait $pid 2>/dev/null

exit_checks capture_modes
