# Shared by the end-to-end tests: an X server of their own, and helpers.
# Start with `start_xvfb` (its screen is XVFB_SIZE, 1024x768x24 unless set);
# it is stopped when the script exits, and so is the window manager that
# `start_openbox` may add.

start_xvfb()
{
    export XDG_RUNTIME_DIR=$(mktemp -d)
    chmod 700 "$XDG_RUNTIME_DIR"
    local n
    for n in $(seq 90 140); do
        [ -e "/tmp/.X$n-lock" ] && continue
        # -noreset keeps the root window's contents when the last client leaves.
        Xvfb ":$n" -screen 0 "${XVFB_SIZE:-1024x768x24}" -noreset -nolisten tcp >/dev/null 2>&1 &
        XVFB_PID=$!
        export DISPLAY=":$n"
        for _ in $(seq 50); do
            xdpyinfo >/dev/null 2>&1 && break
            sleep 0.1
        done
        if xdpyinfo >/dev/null 2>&1; then
            trap 'kill ${OPENBOX_PID:-} $XVFB_PID 2>/dev/null; rm -rf "$XDG_RUNTIME_DIR"' EXIT
            unset QT_QPA_PLATFORM
            return 0
        fi
        kill $XVFB_PID 2>/dev/null
    done
    echo "no free display for Xvfb" >&2
    return 1
}

# Starts openbox, the window manager of the desktop tests, on the X server
# of start_xvfb, and waits until it manages the screen (it announces the
# work area). Its settings come from the system's defaults, not the user's.
start_openbox()
{
    local config
    config="$XDG_RUNTIME_DIR/openbox"
    mkdir -p "$config"
    XDG_CONFIG_HOME=$config XDG_CACHE_HOME=$config openbox >/dev/null 2>&1 &
    OPENBOX_PID=$!
    for _ in $(seq 100); do
        xprop -root _NET_WORKAREA 2>/dev/null | grep -q = && return 0
        sleep 0.1
    done
    echo "openbox did not start" >&2
    return 1
}

# Prints the id of the visible window with this exact title (of the process
# pid, when given), waiting for it.
wait_window()
{
    local title=$1 pid=${2:-} id search
    for _ in $(seq 100); do
        if [ -n "$pid" ]; then
            search=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null)
        else
            search=$(xdotool search --onlyvisible --name . 2>/dev/null)
        fi
        for id in $search; do
            if [ "$(xdotool getwindowname "$id" 2>/dev/null)" = "$title" ]; then
                echo "$id"
                return 0
            fi
        done
        sleep 0.1
    done
    return 1
}

# Waits for a child process to end and sets EXIT_STATUS to its status
# ("timeout" when it had to be killed). Call it in the shell that started the
# child, not in a subshell.
wait_exit()
{
    local pid=$1
    for _ in $(seq 100); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
        kill "$pid"
        wait "$pid" 2>/dev/null
        EXIT_STATUS=timeout
        return
    fi
    wait "$pid"
    EXIT_STATUS=$?
}

fail()
{
    echo "FAIL: $*" >&2
    exit 1
}

# check NAME GOT EXPECTED counts failures; the script ends with
# `exit_checks NAME`.
. "$(dirname "${BASH_SOURCE[0]}")/checks.sh"

exit_checks()
{
    [ $failures -eq 0 ] || exit 1
    echo "$1: all checks passed"
}

# Waits up to ten seconds for a shell condition to hold.
wait_for()
{
    for _ in $(seq 100); do
        eval "$1" && return 0
        sleep 0.1
    done
    return 1
}

# The colour of a screen pixel as "r,g,b".
pixel()
{
    import -window root -crop "1x1+$1+$2" -depth 8 txt:- 2>/dev/null |
        sed -n '2s/.*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1,\2,\3/p'
}

# Waits until the screen point shows a colour matching the pattern (a
# regular expression such as "255,0,0|0,0,0"); prints what it shows last.
wait_pixel()
{
    local x=$1 y=$2 pattern=$3 shown
    for _ in $(seq 50); do
        shown=$(pixel "$x" "$y")
        [[ "$shown" =~ ^($pattern)$ ]] && break
        sleep 0.1
    done
    echo "$shown"
}

# Waits until the window has this title; prints the title it has last.
wait_title()
{
    local id=$1 title=$2 shown
    for _ in $(seq 50); do
        shown=$(xdotool getwindowname "$id" 2>/dev/null)
        [ "$shown" = "$title" ] && break
        sleep 0.1
    done
    echo "$shown"
}

# Waits until a file exists and is not empty.
wait_file()
{
    local file=$1
    wait_for '[ -s "$file" ]'
}

# Waits until the window is no longer shown.
wait_gone()
{
    local id=$1
    wait_for '! xwininfo -id "$id" 2>/dev/null | grep -q "Map State: IsViewable"'
}

# Waits until a window manager has framed the window (it says how wide the
# frame is), so that the window stands where it will stay.
wait_framed()
{
    local id=$1
    wait_for 'xprop -id "$id" _NET_FRAME_EXTENTS 2>/dev/null | grep -q ='
}

# The shown popup menus of the process, one id a line: its visible windows
# that no window manager frames (override-redirect).
menus_of()
{
    local id
    for id in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null); do
        xwininfo -id "$id" 2>/dev/null | grep -q "Override Redirect State: yes" && echo "$id"
    done
}

# Waits until the process shows COUNT popup menus (1 unless given): a menu
# opened, or a submenu beside it.
wait_menu()
{
    local pid=$1 count=${2:-1}
    wait_for '[ "$(menus_of "$pid" | wc -l)" -ge "$count" ]'
}

# Waits until the process shows no popup menu.
wait_no_menu()
{
    local pid=$1
    wait_for '[ -z "$(menus_of "$pid")" ]'
}

# Opens the menu whose title is at this screen point with a click, and
# waits until it shows. (No --sync on the move: xdotool would wait seconds
# for a pointer that is already there to move.)
open_menu()
{
    local pid=$1 x=$2 y=$3
    xdotool mousemove "$x" "$y" click 1
    wait_menu "$pid" || fail "no menu opened at ($x, $y)"
}

# Waits until the window has the keyboard focus.
wait_focus()
{
    local id=$1
    xdotool windowfocus --sync "$id" 2>/dev/null
    wait_for '[ "$(xdotool getwindowfocus 2>/dev/null)" = "$id" ]'
}

# Moves the pointer in STEPS small steps, as a hand does: Qt under Xvfb
# starts a drag, and XDND follows it, only from motion that comes over
# time, so the short pauses between the steps belong to the gesture (they
# wait for nothing). With a button held, PAUSE (0.2 s unless given) of rest
# at the end lets the target under the pointer answer before the release.
glide()
{
    local x0=$1 y0=$2 x1=$3 y1=$4 steps=${5:-8} pause=${6:-0.2} i
    for i in $(seq 1 "$steps"); do
        xdotool mousemove $((x0 + (x1 - x0) * i / steps)) $((y0 + (y1 - y0) * i / steps))
        sleep 0.04
    done
    [ "$pause" = 0 ] || sleep "$pause"
}
