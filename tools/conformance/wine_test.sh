#!/usr/bin/env bash
# The Windows build's Assistant under Wine, held to winsim:
#   wine_test.sh BENCH WINDOWS_BUILD WORK
# On a private X server (Xvfb) and a Wine prefix kept in WORK between runs,
# with msports.dll disabled (the library's load failure path) and no driver:
# the main dialog appears, is photographed (WORK/assistant-wine.png), and
# uidump's report of it with each tab selected and of the About box is
# compared with the bench's `ui report` of the Assistant on winsim in the
# same state (compare_reports.py, known_differences.txt). A second start
# hands over to the first, and Escape ends it.
# Real time: QTR_SKIP_REALTIME=1 skips it (exit 77), as does a tree without
# the windows build or without wine, Xvfb and xdotool.
set -euo pipefail

bench=$1
windows=$2
work=$3
here=$(cd "$(dirname "$0")" && pwd)
title="Tessary QTR84PX-1 Serial Adapter Assistant"

if [[ -n "${QTR_SKIP_REALTIME:-}" && "${QTR_SKIP_REALTIME}" != 0 ]]; then
    echo "QTR_SKIP_REALTIME is set"
    exit 77
fi
exe=$windows/assistant/qtr84px1asst64.exe
library=$windows/reglib/cl84prreg64.dll
uidump=$windows/tools/uidump/uidump.exe
for file in "$exe" "$library" "$uidump"; do
    if [[ ! -f $file ]]; then
        echo "wine test: skipped: $file is missing (cmake --preset windows && cmake --build --preset windows)"
        exit 77
    fi
done
for tool in wine wineserver Xvfb xdotool; do
    if ! command -v "$tool" >/dev/null; then
        echo "wine test: skipped: $tool is not installed (tools/install-deps.sh installs it)"
        exit 77
    fi
done

fail() {
    echo "wine test: $*" >&2
    exit 1
}

mkdir -p "$work"
rm -rf "$work/app" "$work/reports" "$work/display"
mkdir -p "$work/app" "$work/reports"
cp "$exe" "$library" "$uidump" "$work/app/"

# A display of our own: Xvfb picks a free number and writes it to fd 3. Its
# screen is also kept as an X window dump in WORK/Xvfb_screen0.
Xvfb -displayfd 3 -screen 0 1024x768x24 -fbdir "$work" -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
export WINEPREFIX=$work/prefix WINEDEBUG=-all
# msports off (the library's load failure path), no Mono or Gecko
# installers, no debugger waiting on a crash.
export WINEDLLOVERRIDES="msports=d;mscoree,mshtml=d;winedbg.exe=d"
cleanup() {
    wineserver -k 2>/dev/null || true
    kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 100); do
    [[ -s $work/display ]] && break
    sleep 0.1
done
[[ -s $work/display ]] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(cat "$work/display")"

if [[ ! -f $WINEPREFIX/system.reg ]]; then
    echo "wine test: creating the Wine prefix $WINEPREFIX (once)"
    timeout 600 wineboot --init >/dev/null 2>&1 || fail "wineboot failed"
    wineserver -w
    # Wine draws the frames itself: there is no window manager.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
    wineserver -w
fi
wineserver -p  # one server for every program below

# uidump.exe ends its lines as Windows programs do, with \r\n.
uidump_() { (cd "$work/app" && timeout 60 wine uidump.exe "$@") | tr -d "\r"; }
windows_titled() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null || true; }
wait_window() {
    local window
    window=$(timeout 120 xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null | head -1) || true
    [[ -n $window ]] || fail "no window \"$1\" appeared"
    echo "$window"
}
wait_gone() {
    for _ in $(seq 300); do
        [[ -z $(windows_titled "$1") ]] && return 0
        sleep 0.1
    done
    fail "window \"$1\" did not close"
}
# Waits until what `uidump TITLE [ARGS...]` prints holds TEXT: input and
# the changes it causes reach the program's thread when it next reads its
# queue. The output is read whole before it is searched: a `grep -q` that
# stops reading at the first match could end the pipe's writer with SIGPIPE,
# which pipefail would turn into a miss.
wait_uidump() {
    local title=$1 text=$2 output
    shift 2
    for _ in $(seq 150); do
        if output=$(uidump_ "$title" "$@") && [[ $output == *"$text"* ]]; then return 0; fi
        sleep 0.2
    done
    fail "\"$title\" never showed: $text (uidump $*: ${output:-nothing})"
}

# The same states on winsim: msports withheld, the drivers' files gone.
bench_report() {
    "$bench" -e "platform withhold msports.dll" \
        -e 'file del C:\Windows\system32\drivers\84prusb64.sys' \
        -e "assistant start" "$@" -e "ui report" | grep -E '^(control|item|focus|rect) '
}
# Compares the two reports of STATE.
compare() {
    python3 "$here/compare_reports.py" "$here/known_differences.txt" "$1" \
        "$work/reports/winsim-$1.txt" "$work/reports/wine-$1.txt" || differences=1
}

started=$(date +%s)
(cd "$work/app" && exec setsid wine qtr84px1asst64.exe >"$work/assistant.out" 2>&1 </dev/null) &
first=$!
main=$(wait_window "$title")
eval "$(xdotool getwindowgeometry --shell "$main")"
python3 "$here/xwd_to_png.py" "$work/Xvfb_screen0" "$work/assistant-wine.png" "$X" "$Y" "$WIDTH" "$HEIGHT"
echo "wine test: main window after $(($(date +%s) - started)) s, picture $work/assistant-wine.png"

# Before any input: where the dialog manager put the focus.
differences=0
uidump_ "$title" report >"$work/reports/wine-start.txt"
bench_report >"$work/reports/winsim-start.txt"
compare start

# A click on the selected tab (activates the window, focuses the tabs),
# then the arrow keys choose the pages as a user would.
xdotool mousemove $((X + 40)) $((Y + 38)) click 1
wait_uidump "$title" "focus 1085 active" focus
tabs=$(uidump_ "$title" | sed -n 's/^control 1085 .* items=\([0-9]*\)$/\1/p')
[[ -n $tabs ]] || fail "no tab control 1085 in the main dialog"
for ((tab = 0; tab < tabs; ++tab)); do
    if ((tab > 0)); then
        xdotool key Right
        wait_uidump "$title" "control 1085 SysTabControl32 \"\" visible enabled sel=$tab "
    fi
    uidump_ "$title" report >"$work/reports/wine-tab$tab.txt"
    bench_report -e "ui select 1085 $tab" >"$work/reports/winsim-tab$tab.txt"
    compare "tab$tab"
done

uidump_ "$title" command 32771
wait_window "About" >/dev/null
uidump_ "About" report >"$work/reports/wine-about.txt"
bench_report -e "ui command 32771" -e 'ui activate "About"' >"$work/reports/winsim-about.txt"
compare about
wait_uidump "About" " active" focus
xdotool key Escape
wait_gone "About"

# A second start hands over to the first and ends; one main window stays.
(cd "$work/app" && timeout 60 wine qtr84px1asst64.exe >/dev/null 2>&1 </dev/null) || fail "the second start did not end by itself"
[[ $(windows_titled "$title" | wc -l) -eq 1 ]] || fail "not exactly one main window after a second start"
kill -0 "$first" 2>/dev/null || fail "the first Assistant ended on a second start"

# Escape in the main dialog ends the program.
wait_uidump "$title" "focus 1085 active" focus
xdotool key Escape
for _ in $(seq 300); do
    kill -0 "$first" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$first" 2>/dev/null && fail "Escape did not end the Assistant"
[[ -z $(windows_titled "$title") ]] || fail "the main window outlived its process"

((differences == 0)) || fail "the real Assistant and winsim's differ beyond $here/known_differences.txt"
echo "wine test: passed in $(($(date +%s) - started)) s"
