#!/usr/bin/env bash
# File > Capture in a Wayland session. A headless sway is the compositor, a
# native Qt program paints the test pattern over its screen, the desktop
# portal (xdg-desktop-portal with its wlr and gtk back ends) answers on a
# session bus of the test's own, and grim reads the compositor's screen on
# its own. tavrin runs as a native Wayland client, and as an X client of
# XWayland where the session says X11: either way its capture must be the
# screen pixel for pixel, without its own window; with the portal gone the
# old picture stays and one line says why.
#
#   wayland_capture.sh TAVRIN WAYLAND_POINTER WAYLAND_PATTERN SCREEN_PATTERN
set -u
TAVRIN=$1
POINTER=$2
PATTERN=$3
SCREEN_PATTERN=$4
HERE=$(cd "$(dirname "$0")" && pwd)
WIDTH=800
HEIGHT=600

skip()
{
    echo "SKIP: $*; scripts/install-deps installs it" >&2
    exit 77
}

fail()
{
    echo "FAIL: $*" >&2
    exit 1
}

if [ -z "${WAYLAND_CAPTURE_INSIDE:-}" ]; then
    for tool in sway:sway swaymsg:sway grim:grim wtype:wtype pipewire:pipewire Xwayland:xwayland \
        dbus-run-session:dbus-bin dbus-send:dbus-bin unshare:util-linux python3:python3 \
        convert:imagemagick compare:imagemagick; do
        command -v "${tool%%:*}" >/dev/null || skip "${tool%%:*} is missing (package ${tool##*:})"
    done
    for portal in xdg-desktop-portal xdg-desktop-portal-wlr xdg-desktop-portal-gtk; do
        [ -x "/usr/libexec/$portal" ] || skip "$portal is not installed"
    done
    plugins=$(find /usr/lib/*/qt6/plugins/platforms -name 'libqwayland-generic.so' 2>/dev/null)
    [ -n "$plugins" ] || skip "Qt's Wayland platform is not installed (package qt6-wayland)"
    # Everything runs in a process namespace of its own: when the test ends,
    # the kernel ends every process it started, D-Bus's included.
    exec unshare --pid --fork --kill-child --mount-proc \
        env WAYLAND_CAPTURE_INSIDE=1 \
        dbus-run-session --config-file="$HERE/wayland_session.conf" -- "$0" "$@"
fi

failures=0
check()
{
    if [ "$2" != "$3" ]; then
        echo "FAIL: $1: expected '$3', got '$2'" >&2
        failures=$((failures + 1))
    else
        echo "ok: $1"
    fi
}

# Runs a command until it succeeds, for at most ten seconds.
wait_for()
{
    for _ in $(seq 100); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}

WORK=$(mktemp -d)
export XDG_RUNTIME_DIR=$WORK/run
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset DISPLAY QT_QPA_PLATFORM
export XDG_CURRENT_DESKTOP=sway XDG_SESSION_TYPE=wayland
export WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1
cleanup()
{
    exec 4>&- 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT

cat >"$WORK/sway.conf" <<EOF
output HEADLESS-1 resolution ${WIDTH}x${HEIGHT} position 0 0 bg #000000 solid_color
default_border none
default_floating_border none
for_window [app_id="tavrin"] floating enable
for_window [class="tavrin"] floating enable
# The pointer drawn on the screen would differ between pictures.
seat * hide_cursor 100
EOF
# sway refuses to run as root; in a user namespace it is user 1000.
unshare --user --map-user=1000 --map-group=1000 sway -c "$WORK/sway.conf" \
    >"$WORK/sway.log" 2>&1 &
wait_for compgen -G "$XDG_RUNTIME_DIR/sway-ipc.*" || fail "sway did not start: $(tail -3 "$WORK/sway.log")"
export SWAYSOCK=$(compgen -G "$XDG_RUNTIME_DIR/sway-ipc.*")
WAYLAND_DISPLAY=$(basename "$(compgen -G "$XDG_RUNTIME_DIR/wayland-*[0-9]" | head -1)")
export WAYLAND_DISPLAY
# sway's XWayland display, as sway gives it to the programs it starts.
swaymsg exec "echo \$DISPLAY >$WORK/x-display" >/dev/null
wait_for test -s "$WORK/x-display" || fail "sway offers no XWayland display"
X_DISPLAY=$(cat "$WORK/x-display")

has_name()
{
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner "string:$1" | grep -q "boolean true"
}
# The wlr back end needs PipeWire running; the screenshot is offered only
# with an access back end too (gtk's).
pipewire >"$WORK/pipewire.log" 2>&1 &
/usr/libexec/xdg-desktop-portal-wlr >"$WORK/portal-wlr.log" 2>&1 &
/usr/libexec/xdg-desktop-portal-gtk >"$WORK/portal-gtk.log" 2>&1 &
wait_for has_name org.freedesktop.impl.portal.desktop.wlr || fail "the wlr portal did not start: $(tail -3 "$WORK/portal-wlr.log")"
wait_for has_name org.freedesktop.impl.portal.desktop.gtk || fail "the gtk portal did not start"
/usr/libexec/xdg-desktop-portal >"$WORK/portal.log" 2>&1 &
PORTAL_PID=$!
wait_for has_name org.freedesktop.portal.Desktop || fail "the portal did not start"

# The geometry of the visible window titled $1, as "x y width height".
window_rect()
{
    swaymsg -t get_tree -r | python3 -c '
import json, sys
def walk(node):
    if node.get("name") == sys.argv[1] and node.get("visible"):
        r = node["rect"]
        print(r["x"], r["y"], r["width"], r["height"])
        sys.exit(0)
    for child in node.get("nodes", []) + node.get("floating_nodes", []):
        walk(child)
walk(json.load(sys.stdin))
sys.exit(1)' "$1"
}

# A native program covers the screen with the pattern; grim's picture of
# the screen must show it everywhere.
"$PATTERN" >"$WORK/pattern.log" 2>&1 &
PATTERN_PID=$!
wait_for window_rect pattern || fail "the pattern window did not show"
wait_for sh -c "grim '$WORK/reference.png' && '$SCREEN_PATTERN' image '$WORK/reference.png' 0 0" ||
    fail "grim does not read the pattern: $("$SCREEN_PATTERN" image "$WORK/reference.png" 0 0)"

# Headless sway has no mouse: the pointer is a virtual one, held while the
# test runs; keys come from wtype, which waits until Qt has its keymap.
mkfifo "$WORK/pointer"
"$POINTER" $WIDTH $HEIGHT <"$WORK/pointer" >"$WORK/pointer.out" 2>&1 &
exec 4>"$WORK/pointer"
pointer()
{
    local before
    before=$(grep -c ok "$WORK/pointer.out")
    echo "$*" >&4
    for _ in $(seq 100); do
        [ "$(grep -c ok "$WORK/pointer.out")" -gt "$before" ] && return 0
        sleep 0.05
    done
    fail "the virtual pointer did not answer: $(cat "$WORK/pointer.out")"
}

# Opens the File menu of the window titled $1 (its title is at (18, 8) in
# the window) and takes an item with the keys that follow.
file_menu()
{
    local rect title=$1
    shift
    rect=($(window_rect "$title")) || fail "no window titled '$title'"
    # A window that appeared under a pointer at rest has not seen it enter.
    pointer move $((rect[0] + 30)) $((rect[1] + 10))
    pointer move $((rect[0] + 18)) $((rect[1] + 8))
    pointer click
    local keys=(-s 600)
    for key in "$@"; do
        keys+=(-k "$key" -s 100)
    done
    wtype "${keys[@]}"
}
file_capture() { file_menu "$1" Down Down Down Down Return; }

# Checks that the visible part of tavrin's view (below the 20-pixel menu
# bar, beside the 14-pixel scroll bars) shows the pattern at shift ($2, $3)
# from its corner on; VIEW_PART says which part of the picture that was.
view_shows()
{
    local rect x y w h
    rect=($(window_rect "$1")) || return 1
    x=$((rect[0] < 0 ? 0 : rect[0]))
    y=$((rect[1] + 20 < 0 ? 0 : rect[1] + 20))
    w=$((rect[0] + rect[2] - 14 > WIDTH ? WIDTH - x : rect[0] + rect[2] - 14 - x))
    h=$((rect[1] + rect[3] - 14 > HEIGHT ? HEIGHT - y : rect[1] + rect[3] - 14 - y))
    grim -g "$x,$y ${w}x${h}" "$WORK/view.png" || return 1
    VIEW_PART="${w}x${h}+$((x - rect[0]))+$((y - rect[1] - 20))"
    "$SCREEN_PATTERN" image "$WORK/view.png" $((x - rect[0] + $2)) $((y - rect[1] - 20 + $3))
}

# Starts tavrin ($1: a name for its files) with the environment that
# follows, and waits for its window.
start_tavrin()
{
    local name=$1
    shift
    env "$@" "$TAVRIN" >"$WORK/$name.out" 2>"$WORK/$name.err" &
    TAVRIN_PID=$!
    wait_for window_rect "tavrin ver.0.00" || fail "$name: no window titled 'tavrin ver.0.00'"
}

# The shell (xdg_shell or xwayland) of the window titled $1.
shell_of()
{
    swaymsg -t get_tree | grep -F -A30 "\"name\": \"$1\"" | grep -o '"shell": "[a-z_]*"' |
        head -1 | cut -d'"' -f4
}

# File > Quit ends the program normally (the sanitizers have had their say).
quit_tavrin()
{
    local name=$1 title=$2 status
    file_menu "$title" Up Return
    for _ in $(seq 100); do
        kill -0 $TAVRIN_PID 2>/dev/null || break
        sleep 0.1
    done
    kill -0 $TAVRIN_PID 2>/dev/null && kill $TAVRIN_PID
    wait $TAVRIN_PID
    status=$?
    check "$name: exit status" $status 0
    [ $status -eq 0 ] || tail -40 "$WORK/$name.err" >&2
}

# Captures with the window titled $1 and checks the view against grim's
# picture of the screen.
capture_equals_grim()
{
    local name=$1 title=$2
    file_capture "$title"
    wait_for window_rect "tavrin ver.0.00[${WIDTH}x${HEIGHT}]" ||
        fail "$name: no window titled with the capture's size: $(cat "$WORK/$name.err")"
    wait_for view_shows "tavrin ver.0.00[${WIDTH}x${HEIGHT}]" 0 0
    check "$name: the view shows the screen, without tavrin's window" $? 0
    echo "  $(view_shows "tavrin ver.0.00[${WIDTH}x${HEIGHT}]" 0 0)"
    # The view's picture equals grim's own, not merely the pattern.
    convert "$WORK/reference.png" -crop "$VIEW_PART" +repage "$WORK/reference-part.png"
    check "$name: the capture equals grim's picture where the view shows it" \
        "$(compare -metric AE "$WORK/view.png" "$WORK/reference-part.png" null: 2>&1)" 0
    check "$name: the portal's file is gone" "$(ls /tmp/out.png 2>/dev/null)" ""
    check "$name: nothing on standard error about the capture" \
        "$(grep -c '^tavrin:' "$WORK/$name.err")" 0
}

LINE="tavrin: cannot capture the screen: the display server does not let programs read the screen; the picture is kept"

# A Wayland session: tavrin is a native client.
start_tavrin native XDG_SESSION_TYPE=wayland
check "native: a Wayland client" "$(shell_of "tavrin ver.0.00")" xdg_shell
check "native: application id" \
    "$(swaymsg -t get_tree | grep -F -A30 '"name": "tavrin ver.0.00"' | grep -o '"app_id": "[a-z]*"' | head -1)" \
    '"app_id": "tavrin"'
capture_equals_grim native "tavrin ver.0.00"
NATIVE_PID=$TAVRIN_PID
# Out of sight until the portal has gone.
swaymsg '[app_id="tavrin"] move scratchpad' >/dev/null

# An X11 session on the same screen: tavrin is an X client of XWayland,
# whose root window holds no Wayland window; the portal has the screen.
start_tavrin xwayland DISPLAY=$X_DISPLAY XDG_SESSION_TYPE=x11
check "xwayland: an X client" "$(shell_of "tavrin ver.0.00")" xwayland
capture_equals_grim xwayland "tavrin ver.0.00"
quit_tavrin xwayland "tavrin ver.0.00[${WIDTH}x${HEIGHT}]"

# Without the portal: the pattern moves, a capture fails, the old picture
# stays and one line says so.
kill $PORTAL_PID
wait $PORTAL_PID 2>/dev/null
kill $PATTERN_PID
wait $PATTERN_PID 2>/dev/null
"$PATTERN" 37 11 >"$WORK/pattern.log" 2>&1 &
PATTERN_PID=$!
wait_for grep -q painted "$WORK/pattern.log" || fail "the moved pattern did not show"

TAVRIN_PID=$NATIVE_PID
swaymsg '[app_id="tavrin"] scratchpad show, move position 0 0' >/dev/null
file_capture "tavrin ver.0.00[${WIDTH}x${HEIGHT}]"
wait_for grep -q '^tavrin:' "$WORK/native.err"
wait_for window_rect "tavrin ver.0.00[${WIDTH}x${HEIGHT}]"
check "native without portal: one line on standard error" "$(grep -c '^tavrin:' "$WORK/native.err")" 1
check "native without portal: the line" "$(grep '^tavrin:' "$WORK/native.err")" "$LINE"
wait_for view_shows "tavrin ver.0.00[${WIDTH}x${HEIGHT}]" 0 0
check "native without portal: the old picture stays" $? 0
quit_tavrin native "tavrin ver.0.00[${WIDTH}x${HEIGHT}]"

# XWayland without the portal: rather than XWayland's black root window,
# the old picture and one line.
start_tavrin xwayland-alone DISPLAY=$X_DISPLAY XDG_SESSION_TYPE=x11
file_capture "tavrin ver.0.00"
wait_for grep -q '^tavrin:' "$WORK/xwayland-alone.err"
wait_for window_rect "tavrin ver.0.00"
check "xwayland without portal: the line" "$(grep '^tavrin:' "$WORK/xwayland-alone.err")" "$LINE"
check "xwayland without portal: the title keeps no size" "$(window_rect "tavrin ver.0.00" >/dev/null && echo kept)" kept
quit_tavrin xwayland-alone "tavrin ver.0.00"

[ $failures -eq 0 ] || exit 1
echo "wayland capture: all checks passed"
