#!/usr/bin/env bash
# Draws the program's embedded pictures with ImageMagick, each for the display scales 100,
# 125, 150 and 200 % (96, 120, 144 and 192 DPI), so that the program shows at every scale
# a picture drawn for it rather than one stretched:
#   background-DPI.png  780 x 610 at 100 %, 4-bit palette: flat 0x151515 with five bevelled
#                       5-pixel frames under the gadget groups (player, lower left, preview,
#                       search, list)
#   toggle-DPI.png      16 x 13 at 100 %, 8-bit RGBA: a grey screen on a stand, transparent
#                       around it
#   icon.ico            the program's icon at 48, 32 and 16 pixels and at 64, 40, 24 and 20
#                       (the first two and the last two at the larger scales), 32-bit with
#                       alpha: a play sign in the text colour on a dark rounded square
# Every shape is drawn at each scale from its 100 % coordinates: a 100 % pixel p covers the
# pixels from S(p) to S(p + 1) - 1, where S(v) = v * DPI / 96 rounded as the program rounds
# its layout (MulDiv); so lines stay as crisp as at 100 % and the frames lie exactly under
# the gadgets the program scales the same way.
# Usage: make_pictures.sh OUTPUT_DIR. The output is the same on every run (no time chunks).
set -euo pipefail
out=${1:?usage: make_pictures.sh OUTPUT_DIR}
mkdir -p "$out"
png_options=(-define png:exclude-chunks=date,time,tIME -define png:bit-depth=8)

dpi=96
S() { echo $((($1 * dpi + 48) / 96)); }
args=()
# box X0 Y0 X1 Y1 COLOUR: fills the 100 % pixels X0..X1, Y0..Y1 (inclusive) at the scale.
box() {
  args+=(-fill "$5" -draw "rectangle $(S "$1"),$(S "$2") $(($(S $(($3 + 1))) - 1)),$(($(S $(($4 + 1))) - 1))")
}
# ring X0 Y0 X1 Y1 COLOUR: the one-pixel (at 100 %) outline of that rectangle.
ring() {
  box "$1" "$2" "$3" "$2" "$5"
  box "$1" "$4" "$3" "$4" "$5"
  box "$1" "$2" "$1" "$4" "$5"
  box "$3" "$2" "$3" "$4" "$5"
}
# frame X0 Y0 X1 Y1: one bevelled frame with inclusive outer edges: an outer line close to
# black, three grey lines, an inner dark line.
frame() {
  local colours=('#050505' '#2F2F2F' '#353535' '#323232' '#0C0C0C') i
  for i in 0 1 2 3 4; do ring $(($1 + i)) $(($2 + i)) $(($3 - i)) $(($4 - i)) "${colours[$i]}"; done
}

for dpi in 96 120 144 192; do
  args=()
  frame 5 6 496 414
  box 10 372 491 409 '#2F2F2F'  # band of the panel icon, inside the player frame
  frame 5 424 496 595
  box 283 429 287 590 '#2F2F2F'  # bar between the texts and the preview
  frame 306 445 473 574
  box 311 450 468 569 '#2F2F2F'  # preview interior
  frame 503 6 771 33
  frame 503 40 771 575
  # Six colours: a 4-bit palette and no row filters make it the quickest to decode (a
  # fourth of the time of 8-bit RGB), which the window waits for at every start.
  convert -size "$(S 780)x$(S 610)" 'xc:#151515' +antialias -stroke none "${args[@]}" \
    -define png:exclude-chunks=date,time,tIME -define png:bit-depth=4 \
    -define png:color-type=3 -quality 91 -strip PNG8:"$out/background-$dpi.png"

  # Panel icon: screen outline 1..14 x 0..8, a transparent ring between it and the screen
  # face, stand below it.
  args=()
  ring 1 0 14 8 'rgb(101,98,97)'
  box 3 2 12 6 'rgb(101,98,97)'
  box 7 9 8 10 'rgb(101,98,97)'
  box 4 11 11 12 'rgb(101,98,97)'
  convert -size "$(S 16)x$(S 13)" xc:none +antialias -stroke none "${args[@]}" \
    "${png_options[@]}" -define png:color-type=6 -strip PNG32:"$out/toggle-$dpi.png"
done

# Program icon: drawn at each size from its 48-pixel design.
icons=()
for size in 48 32 16 64 40 24 20; do
  f() { awk -v v="$1" -v s="$size" 'BEGIN { printf "%.3f", v * s / 48 }'; }
  convert -size "${size}x$size" xc:none -strokewidth "$(f 3)" \
    -fill '#151515' -stroke '#897F62' \
    -draw "roundrectangle $(f 2),$(f 2) $(f 45),$(f 45) $(f 9),$(f 9)" \
    -stroke none -fill '#897F62' -draw "polygon $(f 18),$(f 13) $(f 18),$(f 35) $(f 36),$(f 24)" \
    -define png:exclude-chunks=date,time,tIME PNG32:"$out/icon$size.png"
  icons+=("$out/icon$size.png")
done
convert "${icons[@]}" "$out/icon.ico"
rm "${icons[@]}"
