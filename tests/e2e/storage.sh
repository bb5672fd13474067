#!/usr/bin/env bash
# Files that could stop or fool the real program, under Xvfb: a FIFO given on
# the command line, and Save as into a place that cannot take the file, which
# must say so in an alert.
set -u
TAVRIN=$1
CATALOGUE=$2
. "$(dirname "$0")/xvfb.sh"
start_xvfb || exit 1
work=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done; kill $XVFB_PID 2>/dev/null; rm -rf "$work" "$XDG_RUNTIME_DIR"' EXIT
convert -size 64x48 gradient:red-blue -depth 8 "PNG24:$work/sky.png"
mkfifo "$work/pipe.png"

# A FIFO first on the command line: it is passed over and the picture after
# it is shown, without waiting for a program to write into the FIFO.
"$TAVRIN" "$work/pipe.png" "$work/sky.png" &
pid=$!
pids+=("$pid")
if wait_window "sky.png[64x48]" "$pid" >/dev/null; then
    echo "ok: a FIFO on the command line is passed over"
else
    echo "FAIL: the picture after a FIFO on the command line was not shown" >&2
    failures=$((failures + 1))
    # Let a hung program go before it is stopped.
    exec 3<>"$work/pipe.png"
    exec 3>&-
fi
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null

# Save as, by keyboard from the File menu, into the path given; prints the
# id of the alert that follows, or nothing when none came. (The alert's text
# is the reason also written to stderr; the in-process tests read the label.)
index=$("$CATALOGUE" | grep -n -x "PNG image" | cut -d: -f1)
[ -n "$index" ] || fail "no PNG writer in the catalogue"
save_as()
{
    local pid=$1 path=$2 panel alert
    open_menu "$pid" 118 108
    xdotool key Down Down Down Down Right
    wait_menu "$pid" 2 || return 1
    for _ in $(seq 2 "$index"); do xdotool key Down; done
    xdotool key Return
    panel=$(wait_window "PNG image" "$pid") || return 1
    wait_focus "$panel" || return 1
    xdotool type --delay 20 "$path"
    xdotool key Return
    alert=$(wait_window "Save failed" "$pid") || return 0
    xdotool windowfocus --sync "$alert" 2>/dev/null
    echo "$alert"
}

# Where the save fails: a folder that does not exist, and, where a file
# system can be mounted here, a read-only disk and a full one. The program
# runs in a mount namespace of its own so that nothing is mounted for others.
cases=("missing folder|$work/nowhere/saved.png|the folder does not exist")
if unshare -m true 2>/dev/null; then
    cases+=("read-only disk|$work/ro/saved.png|the disk is read-only")
    cases+=("full disk|$work/full/saved.png|the disk is full")
else
    echo "skipped: read-only and full disks (no mount namespace can be made here)"
fi
mkdir -p "$work/ro" "$work/full"
convert -size 400x400 xc: +noise Random -depth 8 "PNG24:$work/noise.png"
for entry in "${cases[@]}"; do
    IFS='|' read -r name path reason <<<"$entry"
    unshare -m sh -c "mount -t tmpfs -o ro,size=64k none '$work/ro' &&
                      mount -t tmpfs -o size=16k none '$work/full' &&
                      exec '$TAVRIN' '$work/noise.png'" 2>"$work/stderr" &
    pid=$!
    pids+=("$pid")
    if ! wait_window "noise.png[400x400]" >/dev/null; then
        echo "FAIL: $name: the program did not start" >&2
        failures=$((failures + 1))
        continue
    fi
    # unshare's child runs the program: the windows belong to it.
    child=$(pgrep -P "$pid" | head -1)
    [ -n "$child" ] || child=$pid
    alert=$(save_as "$child" "$path")
    if [ -z "$alert" ]; then
        echo "FAIL: $name: no alert after a failed save" >&2
        failures=$((failures + 1))
    else
        echo "ok: $name: an alert is shown"
        check "$name: the reason is given" \
            "$(grep -c "could not save \"saved.png\" as PNG image: $reason" "$work/stderr")" 1
        # The alert is closed by its button, and the program goes on.
        xdotool key Return
        wait_gone "$alert"
        check "$name: the alert is gone" "$(xdotool search --onlyvisible --name '^Save failed$' | wc -l)" 0
    fi
    kill "$pid" "$child" 2>/dev/null
    wait "$pid" 2>/dev/null
done

exit_checks storage
