#!/usr/bin/env bash
# Renders the program's icon (packaging/lumk-config.svg) into the PNG sizes
# compiled into the programs. Needs rsvg-convert (librsvg2-bin); run it after
# changing the SVG and commit the PNGs.
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" ../../packaging/lumk-config.svg -o "lumk-config-$size.png"
done
