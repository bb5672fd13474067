# Shared by the end-to-end tests: an X server of their own, and helpers.
# Start with `start_xvfb`; it is stopped when the script exits.

start_xvfb()
{
    export XDG_RUNTIME_DIR=$(mktemp -d)
    chmod 700 "$XDG_RUNTIME_DIR"
    local n
    for n in $(seq 90 140); do
        [ -e "/tmp/.X$n-lock" ] && continue
        # -noreset keeps the root window's contents when the last client leaves.
        Xvfb ":$n" -screen 0 1024x768x24 -noreset -nolisten tcp >/dev/null 2>&1 &
        XVFB_PID=$!
        export DISPLAY=":$n"
        for _ in $(seq 50); do
            xdpyinfo >/dev/null 2>&1 && break
            sleep 0.1
        done
        if xdpyinfo >/dev/null 2>&1; then
            trap 'kill $XVFB_PID 2>/dev/null; rm -rf "$XDG_RUNTIME_DIR"' EXIT
            unset QT_QPA_PLATFORM
            return 0
        fi
        kill $XVFB_PID 2>/dev/null
    done
    echo "no free display for Xvfb" >&2
    return 1
}

# Prints the id of the visible window with this exact title, waiting for it.
wait_window()
{
    local title=$1 id
    for _ in $(seq 100); do
        id=$(xdotool search --onlyvisible --name "^$(printf '%s' "$title" | sed 's/[][.*^$]/\\&/g')\$" 2>/dev/null | head -1)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    return 1
}

# Waits for a process to end; prints its exit status.
wait_exit()
{
    local pid=$1
    for _ in $(seq 100); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
        kill "$pid"
        echo "timeout"
        return 1
    fi
    wait "$pid"
    echo $?
}

fail()
{
    echo "FAIL: $*" >&2
    exit 1
}
