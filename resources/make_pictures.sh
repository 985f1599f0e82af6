#!/usr/bin/env bash
# Makes the launcher's own pictures with ImageMagick (Debian's "imagemagick" package):
#   background.jpg  1600 x 976 dusk over layered ridges, warm at the horizon, dark at the top
#   logo.png        the game's name in gold with a soft ember glow, on transparency
#   launcher.ico    a gold quill mark on a dark rounded square, 16 to 256 pixels
# The results are committed, so a build never needs ImageMagick; run this only to change them.
# Everything is drawn from fixed numbers and a fixed noise seed, so a rerun gives the same
# pictures.
set -euo pipefail
cd "$(dirname "$0")"
command -v convert >/dev/null || { echo "ImageMagick's convert is missing (apt-get install imagemagick)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

W=1600
H=976

# Sky: a vertical gradient from night to ember, and a glow where the sun went down.
convert -size ${W}x${H} gradient:'#120708'-'#5a2412' "$work/sky.png"
convert -size 1500x1500 radial-gradient:'#e08a3a'-black -evaluate multiply 0.8 "$work/sun.png"
convert "$work/sky.png" "$work/sun.png" -geometry +470-170 -compose screen -composite "$work/sky2.png"

# A few faint stars in the upper half.
convert -size ${W}x${H} xc:black -seed 7 +noise Random -colorspace Gray -threshold 99.6% \
  -blur 0x0.6 \( -size ${W}x${H} gradient:white-black -evaluate pow 2.2 \) \
  -compose multiply -composite -evaluate multiply 0.7 "$work/stars.png"
convert "$work/sky2.png" "$work/stars.png" -compose screen -composite "$work/sky3.png"

# Three ridges, farther ones lighter and softer. Each skyline is a sum of sines sampled every
# 20 pixels, so it is irregular but the same on every run.
skyline() {  # base amplitude phase
  awk -v W=$W -v H=$H -v base="$1" -v amp="$2" -v ph="$3" 'BEGIN {
    for (x = 0; x <= W; x += 20) {
      y = base + amp * (0.55 * sin(x / 173.0 + ph) + 0.3 * sin(x / 61.0 + 2.1 * ph) \
                        + 0.15 * sin(x / 23.0 + 3.7 * ph))
      printf "%d,%d ", x, y
    }
    printf "%d,%d 0,%d", W, H, H
  }'
}
ridge() {  # colour blur base amplitude phase
  convert -size ${W}x${H} xc:none -fill "$1" -draw "polygon $(skyline "$3" "$4" "$5")" \
    -blur 0x"$2" png:-
}
ridge '#3a1710' 3 520 70 0.4 > "$work/r1.png"
ridge '#24100c' 1.5 640 60 1.9 > "$work/r2.png"
ridge '#120707' 0.6 790 45 3.3 > "$work/r3.png"
# Mist in the valleys between the ridges.
convert -size ${W}x260 gradient:none-'#c8742a' -channel A -evaluate multiply 0.18 +channel \
  "$work/mist.png"
convert "$work/sky3.png" "$work/r1.png" -composite "$work/mist.png" -geometry +0+470 -composite \
  "$work/r2.png" -composite "$work/r3.png" -composite \
  -seed 11 -attenuate 0.25 +noise Gaussian -quality 84 -sampling-factor 4:2:0 -strip \
  background.jpg

# Logo: gold lettering with a quill beside it, and a soft glow behind both.
LW=640
LH=190
convert -size ${LW}x${LH} xc:none -fill white \
  -font DejaVu-Serif-Bold -pointsize 64 -gravity west -annotate +124+8 'QUILLMARK' \
  -gravity northwest -draw "path 'M 30,160 C 60,110 80,60 112,18 C 118,48 104,92 70,126 \
    C 84,98 92,72 98,52 C 78,86 56,120 38,160 Z'" \
  -draw "polygon 26,170 36,150 42,154 32,172" \
  "$work/mask.png"
convert -size ${LW}x${LH} gradient:'#FFE7A8'-'#A8701F' "$work/grad.png"
convert "$work/grad.png" "$work/mask.png" -compose CopyOpacity -composite "$work/gold.png"
convert "$work/gold.png" \( +clone -background '#C8742A' -shadow 70x8+0+0 \) +swap \
  -background none -layers merge +repage -gravity center -extent ${LW}x${LH} -depth 8 -strip \
  logo.png

# Icon: the quill on a dark rounded square, in the sizes Windows asks for.
convert -size 256x256 xc:none -fill '#1a0b0a' -stroke '#a8701f' -strokewidth 8 \
  -draw "roundrectangle 8,8 247,247 44,44" "$work/tile.png"
convert -size 256x256 xc:none -fill white \
  -draw "path 'M 62,214 C 100,150 130,90 188,34 C 198,80 176,136 118,176 \
    C 138,140 150,110 158,84 C 128,128 100,170 80,214 Z'" \
  -draw "polygon 54,228 66,204 76,210 62,232" "$work/qmask.png"
convert -size 256x256 gradient:'#FFE7A8'-'#A8701F' "$work/qgrad.png"
convert "$work/qgrad.png" "$work/qmask.png" -compose CopyOpacity -composite "$work/quill.png"
convert "$work/tile.png" "$work/quill.png" -composite "$work/icon256.png"
convert "$work/icon256.png" -depth 8 -define icon:auto-resize=256,64,48,32,24,16 launcher.ico

ls -l background.jpg logo.png launcher.ico
