#!/bin/sh
# Draws the program's icon and writes corvane.ico with 96, 72, 64, 48, 32, 24
# and 16 pixel 32-bit images (the window shows 48 pixels at 100 %, 72 at 150 %,
# 96 at 200 %). Each size is drawn from the same 256-pixel picture: a night-
# blue tile, a pale crescent (a bird's wing) and an amber eye.
set -e
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
convert -size 256x256 xc:none \
  -fill '#1d2f5a' -draw 'roundrectangle 8,8 247,247 48,48' \
  -fill '#2f4d8f' -draw 'roundrectangle 8,8 247,140 48,48' \
  -fill '#1d2f5a' -draw 'rectangle 8,100 247,140' \
  -fill '#e9eef7' -draw 'circle 128,128 128,36' \
  -fill '#1d2f5a' -draw 'circle 160,110 160,36' \
  -fill '#f2a93b' -draw 'circle 92,104 92,84' \
  -fill '#1d2f5a' -draw 'circle 92,104 92,96' \
  "$work/icon.png"
for size in 96 72 64 48 32 24 16; do
  convert "$work/icon.png" -resize ${size}x${size} -define png:color-type=6 "PNG32:$work/$size.png"
done
# BMP-style entries at 32 bits (colour plus alpha), largest first.
convert "$work/96.png" "$work/72.png" "$work/64.png" "$work/48.png" "$work/32.png" "$work/24.png" "$work/16.png" -define icon:format=bmp corvane.ico
identify corvane.ico
