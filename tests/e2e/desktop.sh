#!/usr/bin/env bash
# The real program on a desktop: Xvfb with a window manager (openbox) and a
# panel along the bottom of the screen, looked at through screenshots as a
# user sees it. The translator panels, windows fitted to pictures larger than
# the screen, and the window manager's close request.
set -u
TAVRIN=$1
CLOSE=$2
DOCK=$3
. "$(dirname "$0")/xvfb.sh"
XVFB_SIZE=1600x1000x24 start_xvfb || exit 1
start_openbox || exit 1
work=$(mktemp -d)
# Translator settings of the test's own, at their defaults.
export XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache"
pids=()
trap 'kill ${pids[@]} $OPENBOX_PID $XVFB_PID 2>/dev/null; rm -rf "$work" "$XDG_RUNTIME_DIR"' EXIT
# A 40-row panel at the bottom: the work area is the 960 rows above it.
"$DOCK" 40 &
pids+=($!)
for _ in $(seq 50); do
    xprop -root _NET_WORKAREA | grep -q "= 0, 0, 1600, 960" && break
    sleep 0.1
done
read -r area_x area_y area_w area_h < <(xprop -root _NET_WORKAREA | sed 's/.*= //; s/,//g' | cut -d' ' -f1-4)
check "work area left by the panel" "$area_x $area_y $area_w $area_h" "0 0 1600 960"

# The window's content area on the screen, "x y width height".
content_of()
{
    xwininfo -id "$1" | awk '/Absolute upper-left X:/ {x = $4} /Absolute upper-left Y:/ {y = $4}
                             /Width:/ {w = $2} /Height:/ {h = $2} END {print x, y, w, h}'
}

# Waits until the window manager has framed the window, then prints the
# frame with its border and title bar, "x y width height".
frame_of()
{
    local extents=""
    for _ in $(seq 50); do
        extents=$(xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.*= //p' | tr -d ,)
        [ -n "$extents" ] && break
        sleep 0.1
    done
    read -r left right top bottom <<<"${extents:-0 0 0 0}"
    read -r x y w h < <(content_of "$1")
    echo $((x - left)) $((y - top)) $((w + left + right)) $((h + top + bottom))
}

# "yes" when the window, border and title bar included, lies in the work area.
in_work_area()
{
    read -r x y w h < <(frame_of "$1")
    if [ "$x" -ge "$area_x" ] && [ "$y" -ge "$area_y" ] &&
        [ $((x + w)) -le $((area_x + area_w)) ] && [ $((y + h)) -le $((area_y + area_h)) ]; then
        echo yes
    else
        echo "no: frame $x $y $w $h"
    fi
}

# Grabs the window into a file once two grabs in a row agree (the window has
# finished painting).
grab_settled()
{
    local previous="$work/previous.png"
    import -window "$1" "$previous" 2>/dev/null
    for _ in $(seq 50); do
        import -window "$1" "$2" 2>/dev/null
        [ "$(compare -metric AE "$previous" "$2" null: 2>&1)" = 0 ] && return 0
        cp "$2" "$previous"
        sleep 0.1
    done
    return 1
}

# The colour of one pixel of an image, "red,green,blue".
pixel_of()
{
    convert "$1" -format \
        "%[fx:round(255*p{$2,$3}.r)],%[fx:round(255*p{$2,$3}.g)],%[fx:round(255*p{$2,$3}.b)]" info:
}

# Pixels of an image (or of a part of it, given as a geometry) darker than a
# quarter of white, that is text or lines drawn in a dark colour.
dark_pixels()
{
    convert "$1" ${2:+-crop "$2"} -colorspace Gray -threshold 25% -negate \
        -format "%[fx:round(mean*w*h)]" info:
}

# Dark pixels whose whole 7 x 7 neighbourhood is dark too: none in text, many
# in a filled box.
dark_blocks()
{
    convert "$1" -colorspace Gray -threshold 25% -negate -morphology Erode Square:3 \
        -format "%[fx:round(mean*w*h)]" info:
}

# Lines of text down the left third of a panel: runs of rows with dark pixels.
label_lines()
{
    local width
    width=$(convert "$1" -format "%w" info:)
    convert "$1" -crop "$((width / 3))x+8+0" -colorspace Gray -threshold 25% -negate \
        -scale "1x$(convert "$1" -format "%h" info:)!" -depth 8 txt:- |
        awk 'NR > 1 {dark = ($0 !~ /gray\(0\)|#000000/); if (dark && !was) lines++; was = dark}
             END {print lines + 0}'
}

# Opens the menu at this place of the menu bar (window coordinates), goes
# down the given number of items and takes the last.
choose_item()
{
    read -r x y _ _ < <(content_of "$1")
    open_menu "$(xdotool getwindowpid "$1")" $((x + $2)) $((y + 8))
    for _ in $(seq "$3"); do xdotool key Down; done
    xdotool key Return
}

# Prints the visible windows of the process, one id a line.
windows_of()
{
    xdotool search --onlyvisible --pid "$1" 2>/dev/null | sort
}

# --- Translator panels ------------------------------------------------------
# Every Config item in turn: an ordinary settings window, dark text on the
# panel's light background, each control labelled, no filled black box.
"$TAVRIN" &
pid=$!
pids+=($pid)
main=$(wait_window "tavrin ver.0.00" "$pid") || fail "no main window"
frame_of "$main" >/dev/null
seen=""
for item in $(seq 12); do
    before=$(windows_of "$pid")
    choose_item "$main" 145 "$item"
    panel=""
    for _ in $(seq 50); do
        for id in $(comm -13 <(echo "$before") <(windows_of "$pid")); do
            # Menus are windows too, named after the program.
            name=$(xdotool getwindowname "$id" 2>/dev/null)
            [ "$id" != "$main" ] && [ -n "$name" ] && [ "$name" != tavrin ] && panel=$id
        done
        [ -n "$panel" ] && break
        sleep 0.1
    done
    [ -n "$panel" ] || fail "Config item $item opened no window"
    name=$(xdotool getwindowname "$panel")
    # The menu wraps around after its last item.
    case " $seen " in *" ${name// /_} "*)
        "$CLOSE" "$panel"
        break
        ;;
    esac
    seen="$seen ${name// /_}"
    shot="$work/panel-$item.png"
    grab_settled "$panel" "$shot" || fail "the $name panel never settled"
    check "$name: panel background" "$(pixel_of "$shot" 2 2)" "216,216,216"
    check "$name: no filled dark boxes" "$(dark_blocks "$shot")" 0
    check "$name: dark text" "$([ "$(dark_pixels "$shot")" -ge 40 ] && echo yes)" yes
    check "$name: labels" "$([ "$(label_lines "$shot")" -ge 1 ] && echo yes)" yes

    if [ "$name" = "JPEG image" ]; then
        cp "$shot" "$work/jpeg.png"
        check "JPEG image: a label for each of its three controls" \
            "$([ "$(label_lines "$shot")" -ge 3 ] && echo yes)" yes
        # The quality slider comes first and shows its value right of its
        # label, above the bar's far end.
        width=$(convert "$shot" -format "%w" info:)
        value="$((width / 2 - 10))x22+$((width / 2))+6"
        check "JPEG image: the slider shows its value" \
            "$([ "$(dark_pixels "$shot" "$value")" -ge 10 ] && echo yes)" yes
        convert "$shot" -crop "$value" +repage "$work/value-before.png"
        # A page down (ten steps): the number changes, and the panel stays
        # readable.
        xdotool windowactivate --sync "$panel" 2>/dev/null
        xdotool key Next
        for _ in $(seq 50); do
            grab_settled "$panel" "$work/jpeg-moved.png"
            convert "$work/jpeg-moved.png" -crop "$value" +repage "$work/value-moved.png"
            [ "$(compare -metric AE "$work/value-before.png" "$work/value-moved.png" null: 2>&1)" != 0 ] &&
                break
            sleep 0.1
        done
        check "JPEG image: the value follows the slider" "$(compare -metric AE \
            "$work/value-before.png" "$work/value-moved.png" null: 2>&1 | grep -qv '^0$' && echo yes)" yes
        check "JPEG image: no filled dark boxes after a move" "$(dark_blocks "$work/jpeg-moved.png")" 0
        # A page up, back to the value it had: the panel is as it was, with no
        # thumb left behind where the slider went.
        xdotool key Prior
        for _ in $(seq 50); do
            grab_settled "$panel" "$work/jpeg-back.png"
            [ "$(compare -metric AE "$work/jpeg.png" "$work/jpeg-back.png" null: 2>&1)" = 0 ] && break
            sleep 0.1
        done
        check "JPEG image: back at its value the panel shows as before" \
            "$(compare -metric AE "$work/jpeg.png" "$work/jpeg-back.png" null: 2>&1)" 0
    fi
    "$CLOSE" "$panel"
    for _ in $(seq 50); do
        windows_of "$pid" | grep -qx "$panel" || break
        sleep 0.1
    done
done
check "the JPEG panel was among them" "$(echo "$seen" | grep -c JPEG_image)" 1

# --- Windows fitted to pictures ---------------------------------------------
# File > Capture: the picture is the size of the screen; the window stays
# where it stood and fits the work area, border included.
read -r x y _ _ < <(content_of "$main")
check "window stands at its place" "$x $y" "100 100"
choose_item "$main" 18 5
main=$(wait_window "tavrin ver.0.00[1600x1000]" "$pid") || fail "no window titled with the capture"
read -r x y _ _ < <(content_of "$main")
check "the capture leaves the window in its place" "$x $y" "100 100"
check "after the capture the window lies in the work area" "$(in_work_area "$main")" yes

# A 1600 x 1200 picture opened from the Open panel (as a drop would load it).
convert -size 1600x1200 -define gradient:vector=0,0,1599,1199 gradient:black-white \
    -depth 8 "PNG24:$work/big.png"
choose_item "$main" 18 1
dialog=$(wait_window "Open" "$pid") || fail "no Open panel"
xdotool windowactivate --sync "$dialog" 2>/dev/null
wait_focus "$dialog" || fail "the Open panel did not take the focus"
xdotool type --delay 10 "$work/big.png"
xdotool key Return
main=$(wait_window "big.png[1600x1200]" "$pid") || fail "big.png did not open"
read -r x y _ _ < <(content_of "$main")
check "opening a picture leaves the window in its place" "$x $y" "100 100"
check "the 1600 x 1200 picture's window lies in the work area" "$(in_work_area "$main")" yes

# Both scroll bars are on the screen and scroll the picture: a click in a
# bar's trough pages it, and the view shows another part of the gradient.
scrolls()
{
    local id=$1 dx=$2 dy=$3 x y w h before after
    read -r x y w h < <(content_of "$id")
    import -window "$id" "$work/before.png"
    before=$(pixel_of "$work/before.png" 5 25)
    if [ "$dx" = 1 ]; then
        xdotool mousemove --sync $((x + w - 45)) $((y + h - 6)) click 1
    else
        xdotool mousemove --sync $((x + w - 6)) $((y + h - 45)) click 1
    fi
    for _ in $(seq 50); do
        import -window "$id" "$work/after.png"
        after=$(pixel_of "$work/after.png" 5 25)
        [ "$after" != "$before" ] && break
        sleep 0.1
    done
    [ "$after" != "$before" ] && echo yes || echo "no: $before stays"
}
check "the horizontal bar scrolls the 1600 x 1200 picture" "$(scrolls "$main" 1 0)" yes
check "the vertical bar scrolls the 1600 x 1200 picture" "$(scrolls "$main" 0 1)" yes
kill $pid
wait $pid 2>/dev/null

# A 6000 x 4000 photo given on the command line.
convert -size 6000x4000 -define gradient:vector=0,0,5999,3999 gradient:black-white \
    -quality 90 "$work/huge.jpg"
"$TAVRIN" "$work/huge.jpg" &
pid=$!
pids+=($pid)
main=$(wait_window "huge.jpg[6000x4000]" "$pid") || fail "huge.jpg did not open"
check "the 6000 x 4000 picture's window lies in the work area" "$(in_work_area "$main")" yes
check "the horizontal bar scrolls the 6000 x 4000 picture" "$(scrolls "$main" 1 0)" yes
check "the vertical bar scrolls the 6000 x 4000 picture" "$(scrolls "$main" 0 1)" yes
kill $pid
wait $pid 2>/dev/null

# --- The window manager's close request --------------------------------------
# Alt+F4 as soon as the window has the focus: the first request ends the
# program, every time.
closed=0
for run in $(seq 5); do
    "$TAVRIN" &
    pid=$!
    pids+=($pid)
    id=$(wait_window "tavrin ver.0.00" "$pid") || fail "no window for close run $run"
    for _ in $(seq 50); do
        xprop -root _NET_ACTIVE_WINDOW | grep -qi "$(printf '0x%x' "$id")" && break
        sleep 0.05
    done
    xdotool key alt+F4
    wait_exit $pid
    [ "$EXIT_STATUS" = 0 ] && closed=$((closed + 1))
done
check "programs ended by the window manager's first close request" "$closed" 5

exit_checks desktop
