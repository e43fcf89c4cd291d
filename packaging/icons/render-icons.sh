#!/usr/bin/env bash
# Renders the PNG sizes of the icon from pointmark-editor.svg (run after changing the SVG and
# commit the result: the build installs the PNGs as they are). Needs rsvg-convert (librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 32 48 64 128 256; do
  mkdir -p "${size}x${size}"
  rsvg-convert --width "$size" --height "$size" --output "${size}x${size}/pointmark-editor.png" pointmark-editor.svg
done
