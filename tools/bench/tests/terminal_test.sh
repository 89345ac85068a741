#!/usr/bin/env bash
# The bench in a real terminal: tmux runs it as `make run` does, keys go in
# with send-keys and the screen comes back with capture-pane. It checks that
# the Assistant's main dialog appears, that an arrow key on the tab control
# (focused by a click on its selected tab) changes the page, that a mouse
# click chooses a tab, that `:plug B` plugs a second adapter and the
# Assistant logs its INSERTED line, that a program
# holding COM3's Linux terminal (named on the first line) open shows in the
# status log as IN USE and, once it ends, NOT IN USE, that in the test
# program started beside it F10 and the arrows pick a menu item, and that Alt+F4 closes windows and, with the
# last one, the bench.
# Real time: QTR_SKIP_REALTIME=1 skips it (exit 77).
set -euo pipefail

bench=$1
if [[ -n "${QTR_SKIP_REALTIME:-}" && "${QTR_SKIP_REALTIME}" != 0 ]]; then
    echo "QTR_SKIP_REALTIME is set"
    exit 77
fi

session="qtr84bench-terminal-$$"
socket="${TMPDIR:-/tmp}/qtr84bench-tmux-$$"
tmux_() { tmux -S "$socket" "$@"; }
holder=
cleanup() {
    [[ -z "$holder" ]] || kill "$holder" 2>/dev/null || true
    tmux_ kill-server 2>/dev/null || true
    rm -f "$socket"
}
trap cleanup EXIT

screen() { tmux_ capture-pane -p -t "$session" 2>/dev/null || true; }

# Waits up to 20 s for the screen to show TEXT (a fixed string).
wait_for() {
    local text=$1
    for _ in $(seq 200); do
        if screen | grep -qF -- "$text"; then return 0; fi
        sleep 0.1
    done
    echo "terminal test: the screen never showed: $text" >&2
    screen >&2
    return 1
}

# A left click (press and release, X10 mouse encoding) on the first cell of
# the first place the screen shows TEXT.
click() {
    local text=$1 row col
    row=$(screen | grep -nF -- "$text" | head -1 | cut -d: -f1)
    col=$(screen | grep -F -- "$text" | head -1 | awk -v t="$text" '{ print index($0, t) }')
    local x=$((col - 1)) y=$((row - 1))
    tmux_ send-keys -t "$session" -l "$(printf '\e[M %b%b\e[M#%b%b' \
        "\\$(printf %o $((33 + x)))" "\\$(printf %o $((33 + y)))" \
        "\\$(printf %o $((33 + x)))" "\\$(printf %o $((33 + y)))")"
}

wait_gone() {
    local text=$1
    for _ in $(seq 200); do
        if ! screen | grep -qF -- "$text"; then return 0; fi
        sleep 0.1
    done
    echo "terminal test: the screen kept showing: $text" >&2
    screen >&2
    return 1
}

tmux_ -f /dev/null new-session -d -s "$session" -x 120 -y 45 "$bench"
wait_for "Tessary QTR84PX-1 Serial Adapter Assistant"
wait_for "[Adapter Status] Properties  Port Mapping"

# The focus starts in the status tree (the tab control holds the pages, so
# the dialog manager's first tab stop is the tree, as on Windows); a click on
# the selected tab gives the tab control the focus, and an arrow key moves
# to the next page.
click "Adapter Status"
wait_for ">[Adapter Status] Properties"  # the focus mark before the tabs
tmux_ send-keys -t "$session" Right
wait_for " Adapter Status [Properties] Port Mapping"

# The mouse: a click on a tab chooses it.
click "Diagnostics"
wait_for " Port Mapping [Diagnostics] Help"

tmux_ send-keys -t "$session" ":"
tmux_ send-keys -t "$session" -l "plug B"
tmux_ send-keys -t "$session" Enter
wait_for "adapter B slot=1 com=7,8,9,10"
# The Diagnostics page shows the status log: the Assistant logs the arrival.
wait_for "Adapter INSERTED: COM7 COM8 COM9 COM10"

# The first line names the first adapter's ports as Linux terminals: a
# program holding COM3's open makes the port busy, and the Assistant logs it.
pty=$(screen | head -1 | grep -o 'COM3 /dev/pts/[0-9]*' | cut -d' ' -f2 || true)
if [[ -z "$pty" ]]; then
    echo "terminal test: the first line names no terminal of COM3" >&2
    screen >&2
    exit 1
fi
sleep 60 <>"$pty" &
holder=$!
wait_for "(COM3): IN USE"
kill "$holder"
wait "$holder" 2>/dev/null || true
wait_for "(COM3): NOT IN USE"

tmux_ send-keys -t "$session" -l "testprogram start"
tmux_ send-keys -t "$session" Enter
wait_for "UI Test Program"

# A frame with a menu bar: F10 opens its menus, the arrows go to Window,
# Enter picks its first item, which opens a channel window.
tmux_ send-keys -t "$session" -l "ui click 1110"
tmux_ send-keys -t "$session" Enter Escape
wait_for "  File  View  Window  Help"
tmux_ send-keys -t "$session" F10
tmux_ send-keys -t "$session" Right Right
wait_for "Open Channel"
tmux_ send-keys -t "$session" Enter
wait_for " COM3 "
tmux_ send-keys -t "$session" M-F4  # the frame
wait_gone "UI Test Monitor"
wait_for ">[Monitor... ]"  # the dialog has the focus back
tmux_ send-keys -t "$session" M-F4  # the test program
wait_gone "UI Test Program"
wait_for "x Tessary QTR84PX-1 Serial Adapter Assistant"
tmux_ send-keys -t "$session" M-F4  # the Assistant
for _ in $(seq 100); do
    if ! tmux_ has-session -t "$session" 2>/dev/null; then
        echo "terminal test: passed"
        exit 0
    fi
    sleep 0.1
done
echo "terminal test: the bench did not end on Alt+F4" >&2
screen >&2
exit 1
