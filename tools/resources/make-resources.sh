#!/usr/bin/env bash
# Draws the pictures and synthesises the alarm sound of resources/.
# Needs ImageMagick (convert) with the Liberation fonts, and python3.
# The generated files are committed; run this only to change them.
set -euo pipefail
cd "$(dirname "$0")/../../resources"

blue='#1f3f8f'
bold=Liberation-Sans-Bold
regular=Liberation-Sans

# The logo: a blue shield-like badge with a drawing-sheet corner and the name.
logo() {  # logo WIDTH HEIGHT OUTPUT
  local w=$1 h=$2 out=$3
  convert -size "${w}x${h}" xc:white \
    -fill "$blue" -draw "roundrectangle $((w/12)),$((h/10)) $((w*11/12)),$((h*7/10)) $((w/20)),$((w/20))" \
    -fill white -draw "polygon $((w*9/12)),$((h/10)) $((w*11/12)),$((h/10)) $((w*11/12)),$((h*3/10))" \
    -stroke white -strokewidth $((w/90+1)) -fill none \
    -draw "line $((w/6)),$((h*3/10)) $((w*5/12)),$((h*3/10))" \
    -draw "line $((w/6)),$((h*3/10)) $((w/6)),$((h*6/10))" \
    -draw "rectangle $((w*5/24)),$((h*7/20)) $((w*3/8)),$((h*11/20))" \
    -stroke none -fill white -font "$bold" -pointsize $((h/6)) \
    -annotate +$((w*11/24))+$((h*53/100)) 'DWG' \
    -fill "$blue" -font "$bold" -pointsize $((h*3/16)) -gravity south \
    -annotate +0+$((h/20)) 'VELDRA' \
    -quality 92 "$out"
}
logo 180 150 veldralogo.jpg
# For print: 1.25 x 1.0 inch at 300 dots per inch.
logo 375 300 veldralogo-print.jpg

# All clear: a green check mark in a ring.
convert -size 180x150 xc:white \
  -fill none -stroke '#2e8b3a' -strokewidth 8 -draw 'circle 90,70 90,15' \
  -strokewidth 14 -draw 'polyline 58,72 82,96 124,46' \
  -stroke none -fill '#2e8b3a' -font "$bold" -pointsize 15 -gravity south -annotate +0+4 'ALL CLEAR' \
  -quality 92 veldracheck.jpg

# Alarm: a red cross in a ring.
convert -size 180x150 xc:white \
  -fill none -stroke '#c81e1e' -strokewidth 8 -draw 'circle 90,70 90,15' \
  -strokewidth 14 -draw 'line 66,46 114,94' -draw 'line 114,46 66,94' \
  -stroke none -fill '#c81e1e' -font "$bold" -pointsize 15 -gravity south -annotate +0+4 'CONFLICT' \
  -quality 92 veldrawrong.jpg

# Window icon: the badge alone.
convert -size 64x64 xc:none \
  -fill "$blue" -draw 'roundrectangle 2,2 61,61 10,10' \
  -fill white -font "$bold" -pointsize 40 -gravity center -annotate +0+1 'V' \
  veldra.png

# Splash picture.
convert -size 420x240 xc:"$blue" \
  -fill none -stroke white -strokewidth 2 -draw 'rectangle 6,6 413,233' \
  -stroke none -fill white -font "$bold" -pointsize 54 -gravity north -annotate +0+42 'VELDRA' \
  -font "$regular" -pointsize 16 -annotate +0+118 'Finds copied work among drawing files' \
  -pointsize 12 -annotate +0+196 'Version 2006  -  Veldra Software' \
  splash.png

# About page banner: 3375 x 435 twips.
convert -size 225x29 xc:white \
  -fill "$blue" -draw 'rectangle 0,0 224,28' \
  -fill white -font "$bold" -pointsize 17 -gravity west -annotate +8+0 'VELDRA' \
  -font "$regular" -pointsize 10 -gravity east -annotate +8+1 'drawing comparison 2006' \
  banner.png

python3 ../tools/resources/mkwav.py conflict.wav
