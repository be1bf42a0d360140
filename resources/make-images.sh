#!/bin/bash
# Makes the pictures of the setup window: the window icon, the banner across
# the top of every page and the green tick of the "Install" button. The
# results are committed next to this script; run it again only to change them.
# Needs ImageMagick's convert and python3.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
OUT=$HERE/images
FONT=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
FONT_PLAIN=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
mkdir -p "$OUT"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Icon: a stylised "V" on a rounded square, in the sizes Windows asks for.
for size in 16 32 48; do
  s=$((size * 8))          # drawn large, then scaled down smoothly
  r=$((s / 6))
  convert -size ${s}x${s} xc:none \
    -fill '#1f5f8b' -draw "roundrectangle 0,0 $((s - 1)),$((s - 1)) $r,$r" \
    -fill '#3c8dbc' -draw "roundrectangle $((s / 16)),$((s / 16)) $((s - s / 16)),$((s / 2)) $r,$r" \
    -fill white -stroke none \
    -draw "polygon $((s * 18 / 100)),$((s * 20 / 100)) $((s * 36 / 100)),$((s * 20 / 100)) $((s / 2)),$((s * 62 / 100)) $((s * 64 / 100)),$((s * 20 / 100)) $((s * 82 / 100)),$((s * 20 / 100)) $((s * 58 / 100)),$((s * 82 / 100)) $((s * 42 / 100)),$((s * 82 / 100))" \
    -resize ${size}x${size} "$work/icon$size.png"
done
convert "$work/icon16.png" "$work/icon32.png" "$work/icon48.png" "$OUT/setup.ico"

# Banner: 574 x 47, a blue gradient with the product's name and a light rule.
convert -size 574x47 gradient:'#1f5f8b'-'#9cc6e0' -rotate -90 -resize 574x47! \
  -fill white -font "$FONT" -pointsize 20 -annotate +14+30 'Vantorex LITE' \
  -fill '#e8f2f8' -font "$FONT_PLAIN" -pointsize 12 -annotate +182+30 'Setup Wizard' \
  -stroke '#ffffff' -strokewidth 1 -draw 'line 0,46 573,46' \
  -quality 92 -sampling-factor 1x1 -strip "$OUT/banner.jpg"
# What the setup carries: that JPEG decoded, 24 bits per pixel, so the window
# draws it with LoadImage alone (no OLE picture, no image codec at start-up).
convert "$OUT/banner.jpg" -type TrueColor BMP3:"$OUT/banner.bmp"

# Tick glyph: 14 x 14, 8 bits per pixel with a palette. The top-left pixel is
# the transparent colour (light grey, mapped to the button face at load time).
python3 - "$OUT/green_tick.bmp" <<'PY'
import struct, sys
rows = [
    "..............",
    "..............",
    "...........#o.",
    "..........##o.",
    ".........##o..",
    "..o.....##o...",
    ".o##...##o....",
    ".o###.##o.....",
    "..o#####o.....",
    "...o###o......",
    "....o#o.......",
    ".....o........",
    "..............",
    "..............",
]
palette = {".": (192, 192, 192), "#": (0, 150, 0), "o": (96, 184, 96)}
order = [".", "#", "o"]
width, height = 14, 14
stride = (width + 3) & ~3
pixels = b"".join(
    bytes(order.index(c) for c in row) + b"\0" * (stride - width) for row in reversed(rows))
colours = b"".join(bytes((b, g, r, 0)) for r, g, b in (palette[k] for k in order))
colours += b"\0" * (256 * 4 - len(colours))
header_size = 14 + 40 + len(colours)
info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(pixels), 3780, 3780, 256, 0)
head = struct.pack("<2sIHHI", b"BM", header_size + len(pixels), 0, 0, header_size)
with open(sys.argv[1], "wb") as f:
    f.write(head + info + colours + pixels)
PY
echo "made: $(cd "$OUT" && ls)"
