#!/usr/bin/env bash
# Draws banner.png, the 497 x 60 picture across the top of the wizard pages:
# a deep blue to teal gradient, faint concentric rings towards the right and
# the word "voxkit" in white at the left. Needs ImageMagick and the DejaVu
# fonts of Debian's fonts-dejavu-core. The build uses the committed PNG; run
# this only to change the picture:  bash resources/make_banner.sh
set -euo pipefail
cd "$(dirname "$0")"

font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
[ -f "$font" ] || { echo "make_banner.sh: $font is missing (apt-get install fonts-dejavu-core)" >&2; exit 1; }

width=497
height=60
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Background: a horizontal gradient (a vertical one, turned a quarter).
convert -size ${height}x${width} gradient:'#0a2a66-#0f8a8a' -rotate -90 "$work/back.png"

# Pattern: thin white rings at low opacity around a point near the right edge.
rings=""
for r in 24 40 56 72 88 104 120 136 152 168; do
  rings="$rings circle 430,30 $((430 + r)),30"
done
convert -size ${width}x${height} xc:none -fill none -stroke 'rgba(255,255,255,0.08)' -strokewidth 2 \
  -draw "$rings" "$work/rings.png"

# Rings over the gradient, a faint line along the bottom edge to set the
# banner off from the page, and the name.
convert "$work/back.png" "$work/rings.png" -compose over -composite \
  -fill 'rgba(255,255,255,0.18)' -draw "rectangle 0,$((height - 1)) $((width - 1)),$((height - 1))" \
  -font "$font" -pointsize 30 -fill white -gravity west -annotate +20+0 'voxkit' \
  -strip -define png:compression-level=9 PNG24:banner.png
echo "banner.png: $(stat -c %s banner.png) bytes"
