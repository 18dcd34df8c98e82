#!/usr/bin/env bash
# Draws the program's two embedded pictures with ImageMagick:
#   background.png  780 x 610, 8-bit RGB: flat 0x151515 with five bevelled 5-pixel frames
#                   under the gadget groups (player, lower left, preview, search, list)
#   toggle.png      16 x 13, 8-bit RGBA: a grey screen on a stand, transparent around it
#   icon.ico        the program's icon at 48, 32 and 16 pixels, 32-bit with alpha: a play
#                   sign in the text colour on a dark rounded square
# Usage: make_pictures.sh OUTPUT_DIR. The output is the same on every run (no time chunks).
set -euo pipefail
out=${1:?usage: make_pictures.sh OUTPUT_DIR}
mkdir -p "$out"

# frame X0 Y0 X1 Y1: draw arguments of one bevelled frame with inclusive outer edges: an
# outer line close to black, three grey lines, an inner dark line.
args=()
frame() {
  local x0=$1 y0=$2 x1=$3 y1=$4 i
  local colours=('#050505' '#2F2F2F' '#353535' '#323232' '#0C0C0C')
  for i in 0 1 2 3 4; do
    args+=(-stroke "${colours[$i]}" -fill none
      -draw "rectangle $((x0 + i)),$((y0 + i)) $((x1 - i)),$((y1 - i))")
  done
}
# fill X0 Y0 X1 Y1 COLOUR
fill() { args+=(-stroke none -fill "$5" -draw "rectangle $1,$2 $3,$4"); }

frame 5 6 496 414
fill 10 372 491 409 '#2F2F2F'  # band of the panel icon, inside the player frame
frame 5 424 496 595
fill 283 429 287 590 '#2F2F2F'  # bar between the texts and the preview
frame 306 445 473 574
fill 311 450 468 569 '#2F2F2F'  # preview interior
frame 503 6 771 33
frame 503 40 771 575
convert -size 780x610 'xc:#151515' +antialias -strokewidth 1 "${args[@]}" \
  -define png:exclude-chunks=date,time,tIME -define png:color-type=2 -define png:bit-depth=8 \
  -strip PNG24:"$out/background.png"

# Panel icon: screen outline 1..14 x 0..8, a transparent ring between it and the
# screen face, stand below it.
convert -size 16x13 xc:none +antialias -strokewidth 1 \
  -stroke 'rgb(101,98,97)' -fill none -draw 'rectangle 1,0 14,8' \
  -stroke none -fill 'rgb(101,98,97)' -draw 'rectangle 3,2 12,6' \
  -fill 'rgb(101,98,97)' -draw 'rectangle 7,9 8,10' -draw 'rectangle 4,11 11,12' \
  -define png:exclude-chunks=date,time,tIME -define png:color-type=6 -define png:bit-depth=8 \
  -strip PNG32:"$out/toggle.png"

# Program icon: drawn once at 48 pixels, the smaller sizes scaled from it.
convert -size 48x48 xc:none -strokewidth 3 \
  -fill '#151515' -stroke '#897F62' -draw 'roundrectangle 2,2 45,45 9,9' \
  -stroke none -fill '#897F62' -draw 'polygon 18,13 18,35 36,24' \
  -define png:exclude-chunks=date,time,tIME PNG32:"$out/icon48.png"
convert "$out/icon48.png" \( -clone 0 -resize 32x32 \) \( -clone 0 -resize 16x16 \) \
  "$out/icon.ico"
rm "$out/icon48.png"
