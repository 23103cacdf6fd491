#!/usr/bin/env bash
# Renders the desktop icon's PNG sizes from its SVG (rsvg-convert, Debian's
# librsvg2-bin). The PNGs are committed; run this after changing the SVG.
set -euo pipefail
cd "$(dirname "$0")/../resources/linux"
for size in 48 256; do
    rsvg-convert -w "$size" -h "$size" dunvex.svg -o "dunvex-$size.png"
done
