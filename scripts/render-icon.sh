#!/usr/bin/env bash
# Renders the program's PNG icon from its SVG drawing; run it after changing data/icons/tolvane.svg
# and commit both files. Needs rsvg-convert (librsvg2-bin, installed by install-deps.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
size=256
rsvg-convert --width "$size" --height "$size" --keep-aspect-ratio data/icons/tolvane.svg \
  --output data/icons/tolvane.png
echo "data/icons/tolvane.png: ${size}x${size}"
