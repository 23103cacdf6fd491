#!/usr/bin/env bash
# Takes every picture in docs/screenshots (the player window also at each zoom
# step and at its smallest size) at normal and double scaling, then
# shrinks the files. Needs the program built: cmake --build build --target dunvex-screenshots
set -euo pipefail
cd "$(dirname "$0")/../.."
program=build/dunvex-screenshots
folder=docs/screenshots
mkdir -p "$folder"
export QT_QPA_PLATFORM=offscreen
QT_SCALE_FACTOR=1 "$program" "$folder" "$@"
QT_SCALE_FACTOR=2 "$program" "$folder" "$@"
if command -v optipng >/dev/null; then
    optipng -quiet -o2 -strip all "$folder"/*.png
fi
