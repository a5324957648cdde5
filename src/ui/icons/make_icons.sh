#!/usr/bin/env bash
# Draws the 14 tool-bar glyphs (48 x 48 PNG, shown at 24 x 24) with ImageMagick. Run from this folder.
set -euo pipefail
S="-size 48x48"
disc='hypot(i-23.5,j-23.5)/20'
# New test: a blank page with a folded corner.
convert $S xc:none -fill white -stroke '#404040' -strokewidth 2 -draw "polygon 10,4 30,4 40,14 40,44 10,44 10,4" \
  -fill '#d0d0d0' -draw "polygon 30,4 30,14 40,14" nouveau.png
# Open the images: a folder holding two star images.
convert $S xc:none -fill '#e8b830' -stroke '#8a6410' -strokewidth 2 -draw "polygon 3,12 18,12 22,16 45,16 45,42 3,42 3,12" \
  -fill '#202020' -stroke none -draw "circle 16,30 16,22" -draw "circle 33,30 33,22" \
  -fill '#f0f0f0' -draw "circle 16,30 16,25" -draw "circle 33,30 33,25" \
  -fill '#202020' -draw "circle 16,30 16,28" -draw "circle 33,30 33,28" ouvrir.png
# Save the current image: a diskette.
convert $S xc:none -fill '#2f5fb0' -stroke '#183060' -strokewidth 2 -draw "polygon 5,5 38,5 43,10 43,43 5,43 5,5" \
  -fill white -stroke none -draw "rectangle 12,8 34,20" -fill '#c8c8c8' -draw "rectangle 12,28 36,43" \
  -fill '#183060' -draw "rectangle 27,10 31,18" enregistrer.png
# Print the current image: a printer with its sheet.
convert $S xc:none -fill white -stroke '#404040' -strokewidth 2 -draw "rectangle 13,4 35,20" \
  -fill '#909090' -draw "roundrectangle 4,18 44,36 4,4" -fill white -draw "rectangle 13,30 35,44" \
  -stroke '#404040' -strokewidth 1 -draw "line 17,35 31,35" -draw "line 17,39 31,39" imprimer.png
# Test parameters: a telescope tube with its aperture marked.
convert $S xc:none -fill '#6a7a8a' -stroke '#303030' -strokewidth 2 -draw "rectangle 4,14 36,34" \
  -fill '#3070c0' -draw "rectangle 36,10 44,38" -stroke '#c02020' -strokewidth 2 \
  -draw "line 40,6 40,42" -draw "line 37,9 40,6" -draw "line 43,9 40,6" -draw "line 37,39 40,42" -draw "line 43,39 40,42" parametres.png
# Wavefront: a pupil in false colours.
convert $S xc:black -fx "rho=$disc; rho<1 ? 0.05+0.9*(0.5+0.5*cos(4.5*rho*rho-1.2*(i-24)/24)) : 0" \
  \( -size 1x64 gradient:'#1010c0'-'#10c0f0' gradient:'#10c0f0'-'#f0f020' gradient:'#f0f020'-'#f02010' -append \) -clut \
  -fx "hypot(i-23.5,j-23.5)/20.5<1 ? u : 0" -transparent black front.png
# PSF: a star with its first ring.
convert $S xc:black -fx "rho=hypot(i-23.5,j-23.5)/3.2+0.001; amp=sin(2.2*rho)/(2.2*rho); pow(amp*amp,0.3)" \
  \( -size 1x256 gradient:black-'#ffd040' \) -clut psf.png
# Interferogram: curved fringes across the pupil.
convert $S xc:black -fx "rho=$disc; rho<1 ? 0.5+0.5*cos(2*pi*((i-24)/9+0.8*rho*rho)) : 0" \
  \( -size 1x256 gradient:black-'#40ff40' \) -clut -fx "hypot(i-23.5,j-23.5)/20.5<1 ? u : 0" -transparent black interfero.png
# Ronchigram: bent grating lines in the pupil.
convert $S xc:black -fx "rho=$disc; sg=sin(pi*((i-24)/5+0.008*(j-24)*(j-24))); rho<1 ? 0.1+0.9*(sg>0) : 0" \
  -fx "hypot(i-23.5,j-23.5)/20.5<1 ? u : 0" -transparent black ronchi.png
# Zoom in and out: a magnifier with + or -.
for sign in avant arriere; do
  draw="line 11,19 25,19"
  [ "$sign" = avant ] && draw="$draw line 18,12 18,26"
  convert $S xc:none -stroke '#505050' -strokewidth 6 -draw "line 28,29 43,44" \
    -fill '#e0f0ff' -stroke '#303030' -strokewidth 3 -draw "circle 18,19 18,4" \
    -stroke '#104080' -strokewidth 4 -draw "$draw" zoom_$sign.png
done
# Superpose by family: windows stacked on each other.
convert $S xc:none -fill '#f0f0f0' -stroke '#404040' -strokewidth 2 \
  -draw "rectangle 3,3 29,29" -draw "rectangle 11,11 37,37" -draw "rectangle 19,19 45,45" \
  -fill '#3070c0' -stroke none -draw "rectangle 20,20 44,24" superposer.png
# Juxtapose: windows side by side.
convert $S xc:none -fill '#f0f0f0' -stroke '#404040' -strokewidth 2 \
  -draw "rectangle 3,5 22,22" -draw "rectangle 26,5 45,22" -draw "rectangle 3,26 22,43" -draw "rectangle 26,26 45,43" \
  -fill '#3070c0' -stroke none -draw "rectangle 4,6 21,9" -draw "rectangle 27,6 44,9" -draw "rectangle 4,27 21,30" \
  -draw "rectangle 27,27 44,30" juxtaposer.png
# Documentation: a blue disc with a question mark.
convert $S xc:none -fill '#2f6fc0' -stroke '#183868' -strokewidth 2 -draw "circle 24,24 24,3" \
  -fill white -stroke none -font DejaVu-Sans-Bold -pointsize 34 -gravity center -annotate +0+1 "?" aide.png
