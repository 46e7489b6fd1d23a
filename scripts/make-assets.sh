#!/usr/bin/env bash
# Draws the window's two picture strips (rows of labelled tiles, one per supported
# net-disk service), its 48 x 48 icon, and the same icon as PNGs at the sizes of the
# desktop's icon theme into assets/. The files are committed; run this only to change
# them. Needs ImageMagick and the Noto CJK fonts.
set -euo pipefail
cd "$(dirname "$0")/.."

font=$(fc-list ':lang=zh-cn:style=Bold' file | grep -m1 -i 'NotoSansCJK' | cut -d: -f1)
[ -n "$font" ] || font=$(fc-list ':lang=zh-cn' file | grep -m1 -i 'NotoSansCJK' | cut -d: -f1)

# strip <output> <width> <height> <name>...: one tile per name, the name centred on it.
strip() {
  local output=$1 width=$2 height=$3
  shift 3
  local count=$# index=0 left right size
  local colours=("#2f6fb3" "#3a8f5c" "#b3652f" "#7a4fb3" "#b33a4f" "#2f9fa8" "#8f7a2f" "#4f5fb3" "#5f8f2f")
  local work
  work=$(mktemp -d)
  local tiles=()
  for name in "$@"; do
    left=$(( index * width / count ))
    right=$(( (index + 1) * width / count ))
    size=12
    [ ${#name} -gt 9 ] && size=10
    convert -size "$(( right - left ))x${height}" xc:white -fill "${colours[index % ${#colours[@]}]}" \
      -draw "roundrectangle 1,1 $(( right - left - 2 )),$(( height - 2 )) 5,5" \
      -font "$font" -pointsize "$size" -fill white -gravity center -annotate +0+0 "$name" "$work/$index.png"
    tiles+=("$work/$index.png")
    index=$(( index + 1 ))
  done
  convert "${tiles[@]}" +append -quality 92 "$output"
  rm -rf "$work"
}

strip assets/services-row1.jpg 625 34 坚果云网盘 百度云网盘 微云网盘 新浪网盘 速度网盘 乐奇网盘 千脑网盘 360云网盘
strip assets/services-row2.jpg 677 35 金蝶网盘 齐聚网盘 ColaFile Google OneDrive DropBox UsersCloud AmazonDrive Box

convert -size 48x48 xc:white -fill "#2f6fb3" -draw "roundrectangle 2,2 45,45 9,9" \
  -font "$font" -pointsize 30 -fill white -gravity center -annotate +0+0 "Q" -quality 95 assets/icon.jpg

# The menu's icon: the window's icon drawn afresh at each size of the hicolor theme.
mkdir -p assets/icons
for size in 16 24 32 48 64 128 256; do
  convert -size "${size}x${size}" xc:none -fill "#2f6fb3" \
    -draw "roundrectangle $(( size / 24 )),$(( size / 24 )) $(( size - 1 - size / 24 )),$(( size - 1 - size / 24 )) $(( size * 3 / 16 )),$(( size * 3 / 16 ))" \
    -font "$font" -pointsize "$(( size * 5 / 8 ))" -fill white -gravity center -annotate +0+0 "Q" \
    -strip -define png:exclude-chunks=date,time "PNG32:assets/icons/$size.png"
done
