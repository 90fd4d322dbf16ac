#!/bin/sh
# Draws the about box emblem: a card box with word cards standing in it and a "T" on its
# front, on a rounded teal tile. Run from anywhere; writes data/SysDat/emblem.jpg.
# Needs ImageMagick 6 (package imagemagick); /usr/local/bin/convert may be something else.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
out=${1:-"$here/../data/SysDat/emblem.jpg"}
convert=/usr/bin/convert

font=""
for f in /usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf \
         /usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf; do
    if [ -f "$f" ]; then font=$f; break; fi
done
[ -n "$font" ] || { echo "no bold sans font found" >&2; exit 1; }

# The corners match the light grey of a dialog, since JPEG has no transparency.
"$convert" -size 140x140 xc:'#efefef' \
    -fill '#2a9d8f' -draw 'roundrectangle 3,3 136,136 22,22' \
    -fill '#268f82' -draw 'roundrectangle 3,100 136,136 22,22' \
    -stroke '#b8c6d1' -strokewidth 1 \
    -fill '#fdfdfd' -draw 'polygon 30,36 78,26 88,80 40,90' \
    -fill '#ffffff' -draw 'polygon 58,24 108,30 102,84 52,78' \
    -stroke '#9cc3e6' -strokewidth 2 \
    -draw 'line 64,38 100,42' -draw 'line 63,48 99,52' -draw 'line 62,58 92,61' \
    -stroke none \
    -fill '#f4a261' -draw 'roundrectangle 20,64 120,122 10,10' \
    -fill '#e07a52' -draw 'rectangle 20,64 120,74' \
    -fill '#ffffff' -font "$font" -pointsize 42 -gravity center -annotate +0+28 'T' \
    -strip -interlace none -sampling-factor 1x1 -quality 88 "$out"

echo "wrote $out ($(wc -c < "$out") bytes)"
