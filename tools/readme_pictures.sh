#!/usr/bin/env bash
# Makes the README's pictures of the Assistant from bench commands:
#   docs/pictures/assistant-main.png   the main dialog, one adapter plugged in
# Run from the repository after `cmake --build --preset host`:
#   tools/readme_pictures.sh [BENCH]
set -euo pipefail

bench=${1:-build/host/tools/bench/qtr84bench}
out=docs/pictures
mkdir -p "$out"

"$bench" -e "plug A" -e "line A 1 loopback" -e "assistant start" \
    -e "ui screenshot $out/assistant-main.png" >/dev/null
echo "readme pictures: $out/assistant-main.png"
