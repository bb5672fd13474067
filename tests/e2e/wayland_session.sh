# Shared by the Wayland tests: a headless sway of their own (with XWayland),
# the desktop portal on a session bus of their own, a virtual pointer, and
# helpers. Set TAVRIN, POINTER (the wayland_pointer program) and HERE (the
# folder of these scripts), then source it: the test runs again inside
# namespaces of its own, so that every process it starts ends with it.
# The screen is WIDTH x HEIGHT; X_DISPLAY is sway's XWayland display.

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

if [ -z "${WAYLAND_TEST_INSIDE:-}" ]; then
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
        env WAYLAND_TEST_INSIDE=1 \
        dbus-run-session --config-file="$HERE/wayland_session.conf" -- "$0" "$@"
fi

. "$HERE/checks.sh"

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
# sway is asked to leave, so that it takes away XWayland's socket and lock
# in /tmp; whatever is left then ends with the namespace.
cleanup()
{
    exec 4>&- 2>/dev/null
    if [ -n "${SWAY_PID:-}" ] && kill -0 "$SWAY_PID" 2>/dev/null; then
        swaymsg exit >/dev/null 2>&1
        for _ in $(seq 50); do
            kill -0 "$SWAY_PID" 2>/dev/null || break
            sleep 0.1
        done
    fi
    rm -rf "$WORK"
}
trap cleanup EXIT

cat >"$WORK/sway.conf" <<EOF
output HEADLESS-1 resolution ${WIDTH}x${HEIGHT} position 0 0 scale ${SCALE:-1} bg #000000 solid_color
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
SWAY_PID=$!
wait_for compgen -G "$XDG_RUNTIME_DIR/sway-ipc.*" || fail "sway did not start: $(tail -3 "$WORK/sway.log")"
export SWAYSOCK=$(compgen -G "$XDG_RUNTIME_DIR/sway-ipc.*")
wait_for swaymsg -t get_version || fail "sway does not answer: $(tail -3 "$WORK/sway.log")"
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
wait_for test -S "$XDG_RUNTIME_DIR/pipewire-0" || fail "PipeWire did not start: $(tail -3 "$WORK/pipewire.log")"
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

# Whether tavrin shows a full-screen window (the region picker's overlay).
overlay_shown()
{
    swaymsg -t get_tree -r | python3 -c '
import json, sys
def walk(node):
    if node.get("app_id") == "tavrin" and node.get("fullscreen_mode") and node.get("visible"):
        sys.exit(0)
    for child in node.get("nodes", []) + node.get("floating_nodes", []):
        walk(child)
walk(json.load(sys.stdin))
sys.exit(1)'
}

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
file_capture() { file_menu "$1" Down Down Down Down Down Return; }

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

# Waits for tavrin ($1: its name for its files), told to quit, to end, and
# checks that it ended normally (the sanitizers have had their say).
wait_quit()
{
    local name=$1 status
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

# File > Quit ends the program normally.
quit_tavrin()
{
    file_menu "$2" Up Return
    wait_quit "$1"
}

