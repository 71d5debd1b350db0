#!/usr/bin/env bash
# Draws the gallery's pictures (plain 24-bit BMP, magenta where nothing is
# drawn). Run it again after changing a picture here; the BMPs are kept in
# the repository so that building needs no ImageMagick.
set -euo pipefail
cd "$(dirname "$0")"
out() { local f="$1"; shift; convert "$@" -type TrueColor "BMP3:$f"; }

# Push-button glyph: a green arrow on the key colour (its top-left pixel),
# drawn without smoothing: blends with the key would survive keying as a
# pink fringe.
out glyph_go.bmp -size 16x16 xc:'#FF00FF' +antialias -fill '#2E9E3A' -stroke '#1B6324' \
    -draw 'polygon 3,3 13,8 3,13'

# Menu images, 16 x 16 each: an open folder, a gear-like wheel, an "i".
out menu_images.bmp -size 48x16 xc:'#FF00FF' +antialias \
    -fill '#E8B84A' -stroke '#8A6414' -draw 'rectangle 1,4 14,13' -draw 'rectangle 1,2 6,4' \
    -fill '#7A86A8' -stroke '#39425C' -draw 'circle 24,8 24,2' -fill '#FF00FF' -draw 'circle 24,8 24,6' \
    -fill '#2F6FD0' -stroke '#1C4380' -draw 'circle 40,8 40,1' \
    -fill white -stroke white -draw 'rectangle 39,7 41,12' -draw 'rectangle 39,3 41,5'

# A banner for a stretched picture panel.
out banner.bmp -size 48x600 gradient:'#6FA6D8-#24486E' -rotate 90 +antialias \
    -fill white -font DejaVu-Sans-Bold -pointsize 20 -annotate +14+31 'Tabulon skin gallery' \
    -fill '#FFD24A' -draw 'circle 560,24 560,12'

# A small tile for a tiled picture panel.
out tile.bmp -size 12x12 xc:'#DDE6F0' +antialias -fill '#B9CADD' -draw 'rectangle 0,0 5,5' -draw 'rectangle 6,6 11,11'

# A pattern for a tiled picture panel.
out pattern.bmp -size 20x20 xc:'#F7E9C8' +antialias -fill '#D9A441' -stroke '#B07F22' \
    -draw 'polygon 10,2 18,10 10,18 2,10' -fill '#F7E9C8' -draw 'polygon 10,7 13,10 10,13 7,10'

# A picture drawn as it is.
out picture.bmp -size 96x64 xc:'#F4F1E8' +antialias \
    -fill '#7FB8E6' -draw 'rectangle 0,0 95,36' -fill '#5E9E4A' -draw 'polygon 0,63 0,40 30,26 60,44 95,30 95,63' \
    -fill '#F5C542' -draw 'circle 74,14 74,6' -fill none -stroke '#404040' -draw 'rectangle 0,0 95,63'
