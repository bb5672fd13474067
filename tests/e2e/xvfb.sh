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
