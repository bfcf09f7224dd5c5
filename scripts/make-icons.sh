#!/usr/bin/env bash
# Draws the programs' icons with ImageMagick and writes them to res/ as .ico files holding
# 16, 32 and 48 pixel images, 32-bit with alpha. The .ico files are committed; run this only to
# change a picture.
#   kestrel.ico          Kestrel's application icon, large (resource 130)
#   kestrel-small.ico    the same, drawn plainer for the title bar and tray (resource 131)
#   loading.ico          shown while a button's icon is still being read (resource 142)
#   failed.ico           shown when a button's icon cannot be read (resource 143)
#   tessera.ico          Tessera's application icon
set -euo pipefail

res=$(cd "$(dirname "$0")/../res" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Every picture is drawn on a 256 pixel canvas and scaled down, so one drawing serves all sizes.
canvas() { convert -size 256x256 xc:none "$@"; }

write_ico() {
  local png=$1 ico=$2 size
  local frames=()
  for size in 16 32 48; do
    convert "$png" -filter Lanczos -resize ${size}x${size} -define png:color-type=6 \
      "$work/frame-$size.png"
    frames+=("$work/frame-$size.png")
  done
  convert "${frames[@]}" -define icon:format=bmp "$ico"
}

# Kestrel: a swept wing in a steep climb (the launcher sends things off) on a teal tile.
canvas -fill '#1f6f8b' -draw 'roundrectangle 8,8 247,247 48,48' \
  -fill '#f4f1e8' -draw 'polygon 36,168 120,128 214,40 150,140 134,214 110,150' \
  -fill '#e3a33b' -draw 'polygon 214,40 188,86 170,70' \
  "$work/kestrel.png"
write_ico "$work/kestrel.png" "$res/kestrel.ico"

# The small variant keeps only the silhouette, with thicker strokes that survive 16 pixels.
canvas -fill '#1f6f8b' -draw 'roundrectangle 0,0 255,255 40,40' \
  -fill '#f4f1e8' -draw 'polygon 24,176 120,122 232,24 156,144 136,236 104,156' \
  "$work/kestrel-small.png"
write_ico "$work/kestrel-small.png" "$res/kestrel-small.ico"

# Loading: a clock face.
canvas -fill '#f4f1e8' -stroke '#1f6f8b' -strokewidth 22 -draw 'circle 128,128 128,22' \
  -stroke '#1f6f8b' -strokewidth 20 -draw 'line 128,128 128,64' -draw 'line 128,128 176,152' \
  "$work/loading.png"
write_ico "$work/loading.png" "$res/loading.ico"

# Failed: a white cross on a red disc.
canvas -fill '#c0392b' -draw 'circle 128,128 128,12' \
  -stroke white -strokewidth 30 -draw 'line 84,84 172,172' -draw 'line 172,84 84,172' \
  "$work/failed.png"
write_ico "$work/failed.png" "$res/failed.ico"

# Tessera: four tiles, one per corner of a screen.
canvas -fill '#1f6f8b' -draw 'roundrectangle 12,12 120,120 18,18' \
  -fill '#e3a33b' -draw 'roundrectangle 136,12 244,120 18,18' \
  -fill '#7a9e3b' -draw 'roundrectangle 12,136 120,244 18,18' \
  -fill '#8b3a62' -draw 'roundrectangle 136,136 244,244 18,18' \
  "$work/tessera.png"
write_ico "$work/tessera.png" "$res/tessera.ico"

echo "make-icons: wrote $(cd "$res" && echo kestrel.ico kestrel-small.ico loading.ico failed.ico tessera.ico)"
