#!/usr/bin/env bash
# Makes the README's pictures of the Assistant:
#   docs/pictures/assistant-main.png      the main dialog, one adapter plugged in
#   docs/pictures/assistant-monitor.png   the line monitor streaming a loopback port
#   docs/pictures/assistant-wine.png      the Windows build's .exe under Wine
# The first two come from bench commands with `ui screenshot`; the third is
# the picture the Wine test (ctest -L wine) takes of the real main window.
# Run from the repository after `cmake --build --preset host` (and for the
# third, the windows build and the Wine test):
#   tools/readme_pictures.sh [BENCH]
set -euo pipefail

bench=${1:-build/host/tools/bench/qtr84bench}
out=docs/pictures
monitor="Tessary QTR84PX-1 Serial Adapter -- Line Monitor"
mkdir -p "$out"

"$bench" -e "plug A" -e "line A 1 loopback" -e "assistant start" \
    -e "ui screenshot $out/assistant-main.png" >/dev/null
echo "readme pictures: $out/assistant-main.png"

# The monitor opened as the Diagnostics page opens it, one channel on COM3,
# then data written to the looped-back port: TX in red, RX in blue, once the
# monitor has read the driver's records (it polls on a timer).
"$bench" -e "plug A" -e "line A 1 loopback" -e "assistant start" -e "wait 1s" \
    -e "ui select 1085 3" -e "ui click 167:1074" \
    -e "ui activate \"$monitor\"" -e "ui command 32790" \
    -e 'ui activate "Select Monitor Channel"' -e "ui select 1096 0" -e "ui click 1" \
    -e "open COM3" -e "comm COM3 baud=115200" \
    -e 'write COM3 "Hello from the bench\r\n"' -e "read COM3 22 timeout=100ms" -e "wait 2s" \
    -e "ui activate \"$monitor\"" -e "ui screenshot $out/assistant-monitor.png" >/dev/null
echo "readme pictures: $out/assistant-monitor.png"

wine_picture=build/host/tools/conformance/wine/assistant-wine.png
if [[ -f $wine_picture ]]; then
    cp "$wine_picture" "$out/assistant-wine.png"
    echo "readme pictures: $out/assistant-wine.png"
else
    echo "readme pictures: no $wine_picture: run the Wine test (ctest --preset host -L wine) first" >&2
fi
