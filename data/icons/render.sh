#!/usr/bin/env bash
# Renders the committed PNG icons from tafelix.svg (needs rsvg-convert, package librsvg2-bin).
# Run it after changing the SVG; the build uses the PNGs as they are.
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 22 24 32 48 64 128 256; do
    mkdir -p "$size"
    rsvg-convert -w "$size" -h "$size" tafelix.svg -o "$size/tafelix.png"
done
