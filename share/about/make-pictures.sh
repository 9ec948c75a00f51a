#!/bin/sh
# Draws the maker's logo (157 x 157 colour JPEG) and the About dialog's
# 16 x 16 icon with ImageMagick. The pictures are kept in the repository, so
# building needs no image tools; run this only after changing the drawing:
#   share/about/make-pictures.sh
set -eu
cd "$(dirname "$0")"

if command -v magick >/dev/null 2>&1; then
  im="magick"
elif command -v convert >/dev/null 2>&1; then
  im="convert"
else
  echo "make-pictures.sh needs ImageMagick (Debian package imagemagick)." >&2
  exit 1
fi

# Drawn four times larger and scaled down, which smooths every edge.
size=628
centre=314

# A four-pointed star with its centre at x,y: tips r away, waist w wide.
star() {
  x=$1 y=$2 r=$3 w=$4
  echo "polygon $x,$((y - r)) $((x + w)),$((y - w)) $((x + r)),$y $((x + w)),$((y + w)) \
$x,$((y + r)) $((x - w)),$((y + w)) $((x - r)),$y $((x - w)),$((y - w))"
}

# The logo: a gold ring, the O of Orvandel, on a night sky with the
# morning star rising over its right shoulder.
$im -size ${size}x${size} -define gradient:direction=SouthEast \
  gradient:'#0a1a44-#177089' \
  -fill none -stroke '#7a5a16' -strokewidth 70 \
  -draw "circle $centre,$((centre + 8)) $centre,$((centre + 8 - 190))" \
  -stroke '#e9b949' -strokewidth 58 \
  -draw "circle $centre,$centre $centre,$((centre - 190))" \
  -stroke '#fbe7a6' -strokewidth 9 \
  -draw "ellipse $centre,$centre 204,204 195,255" \
  -stroke none -fill '#fff8de' \
  -draw "$(star 470 150 120 22)" \
  -fill '#ffffff' -draw "circle 470,150 470,132" \
  -fill '#cfe6ff' -draw "$(star 110 520 34 7)" -draw "$(star 150 92 26 5)" \
  -filter Lanczos -resize 157x157 \
  -strip -sampling-factor 1x1 -quality 92 \
  jpeg:OrvandelLogo.jpg

# The icon: the same ring and star, drawn boldly enough to read at 16 pixels.
$im -size 256x256 xc:'#0f2a5c' \
  -fill none -stroke '#f0c050' -strokewidth 44 \
  -draw "circle 124,132 124,50" \
  -stroke none -fill '#ffffff' -draw "$(star 196 60 58 13)" \
  -filter Lanczos -resize 16x16 \
  -strip -depth 8 -define png:exclude-chunks=date,time \
  png:AboutIcon.png

echo "Wrote share/about/OrvandelLogo.jpg and share/about/AboutIcon.png"
