#!/usr/bin/env bash
# Makes the PCX test pictures with independent encoders: ImageMagick's
# (8-bit with palette, 24-bit) and netpbm's ppmtopcx (1-bit, planar 4-bit,
# planar 3-bit). Beside each NAME.pcx, NAME.png holds its pixels as netpbm's
# decoder pcxtoppm reads them; for every file but the 1-bit one, ImageMagick's
# decoder reads the same pixels (it shows 1-bit PCX files inverted).
# Needs imagemagick and netpbm; the results are committed.
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

convert -size 37x23 xc:white -fill black -draw "rectangle 3,3 20,15" -draw "line 0,22 36,0" -type bilevel "$work/mono.png"
convert "$work/mono.png" ppm:- | ppmtopcx -planes 1 > mono-1bit.pcx 2>/dev/null
convert -size 37x23 gradient:red-blue -fill yellow -draw "circle 25,10 30,14" +dither -colors 16 "$work/c16.png"
convert "$work/c16.png" ppm:- | ppmtopcx -planes 4 > colours16-4plane.pcx 2>/dev/null
convert -size 37x23 xc:navy -fill orange -draw "rectangle 2,2 30,10" -fill lime -draw "circle 20,15 24,19" +dither -colors 8 "$work/c8.png"
convert "$work/c8.png" ppm:- | ppmtopcx -planes 3 > colours8-3plane.pcx 2>/dev/null
convert -size 37x23 gradient:red-yellow -fill blue -draw "line 0,0 36,22" +dither -colors 200 -type palette PCX:colours256-8bit.pcx
convert -size 37x23 plasma:fractal -type truecolor PCX:truecolour-24bit.pcx
# A long run of one colour, wider than a row, and an odd width.
convert -size 301x7 xc:'#123456' -fill white -draw "point 300,6" -type truecolor PCX:runs-24bit.pcx

for pcx in *.pcx; do
  name=${pcx%.pcx}
  pcxtoppm "$pcx" 2>/dev/null | convert - -type truecolor "PNG24:$name.png"
  if [[ $name != mono-1bit ]]; then
    [[ $(compare -metric AE "$name.png" "$pcx" null: 2>&1) == 0 ]] || { echo "decoders disagree on $pcx" >&2; exit 1; }
  fi
done
