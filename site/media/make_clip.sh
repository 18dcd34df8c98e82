#!/usr/bin/env bash
# make_clip.sh FFMPEG N OUT: writes generated clip N (0..7) as a small MP4 (H.264 baseline
# 640x480 at 25 frames/s, AAC mono, 4 s) to OUT. Every source is a synthetic test pattern
# with fixed parameters and seeds and the encoders run single-threaded in bit-exact mode,
# so a build makes the same bytes every time.
set -euo pipefail
ffmpeg=$1 n=$2 out=$3

size=640x480
small=160x120   # the cellular patterns are drawn small and scaled up: cheap to encode
case "$n" in
  0) video="testsrc2=size=$size:rate=25" tone=440 ;;
  1) video="smptehdbars=size=$size:rate=25,drawbox=x=mod(t*160\,640):y=200:w=60:h=60:color=white:t=fill" tone=523 ;;
  2) video="mandelbrot=size=$size:rate=25" tone=330 ;;
  3) video="life=size=$small:rate=25:seed=7:mold=10:death_color=#203040:life_color=#80ff80,scale=$size:flags=neighbor" tone=392 ;;
  4) video="cellauto=size=$small:rate=25:seed=11:rule=110,scale=$size:flags=neighbor" tone=294 ;;
  5) video="rgbtestsrc=size=$size:rate=25,hue=H=2*PI*t/4" tone=659 ;;
  6) video="gradients=size=$size:rate=25:seed=5:speed=0.05" tone=247 ;;
  7) video="testsrc=size=$size:rate=25,hue=s=0.3" tone=587 ;;
  *) echo "make_clip.sh: no clip $n" >&2; exit 2 ;;
esac

tmp="$out.tmp.mp4"
"$ffmpeg" -nostdin -hide_banner -loglevel error -y \
  -f lavfi -i "$video" -f lavfi -i "sine=frequency=$tone:sample_rate=44100" -t 4 \
  -c:v libx264 -preset veryfast -crf 30 -pix_fmt yuv420p -profile:v baseline -threads 1 \
  -c:a aac -b:a 64k -ac 1 -movflags +faststart -map_metadata -1 \
  -fflags +bitexact -flags:v +bitexact -flags:a +bitexact "$tmp"
mv -f "$tmp" "$out"
