#!/usr/bin/env bash
# Renders the PNG sizes of the program's icons from their SVG sources (needs librsvg2-bin).
# The PNGs are committed, so building never needs this; run it after changing an SVG. The tray
# sizes (20 to 24 px) are among them so that drawing the tray icon never loads an SVG renderer.
set -euo pipefail
cd "$(dirname "$0")/hicolor"
for svg in scalable/apps/*.svg; do
  name=$(basename "$svg" .svg)
  for size in 16 20 22 24 32 48; do
    mkdir -p "${size}x${size}/apps"
    rsvg-convert -w "$size" -h "$size" "$svg" -o "${size}x${size}/apps/$name.png"
  done
done
