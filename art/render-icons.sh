#!/usr/bin/env bash
# Renders the icon theme's PNG sizes of the program's and the .tr0 document's
# icons from their drawings: 16 px from the one drawn pixel by pixel for that
# size, the others from the full drawing, which is also installed as scalable.
# Run after changing a drawing; the PNGs are kept with the sources.
set -euo pipefail
cd "$(dirname "$0")"
for name in program document; do
    rsvg-convert --width 16 --height 16 "$name-16.svg" --output "$name-16.png"
    for size in 32 48 64 128 256; do
        rsvg-convert --width $size --height $size "$name.svg" --output "$name-$size.png"
    done
done
