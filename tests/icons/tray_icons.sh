#!/usr/bin/env bash
# The tray's two pictures, at every size the shell asks for (16, 20, 24 and 32 pixels for 100 to
# 200 % scaling), read on a light and on a dark taskbar: along the whole outline of the shape a
# pixel within one pixel of the edge has at least 3:1 contrast with the taskbar (WCAG 2.1's
# minimum for the parts that identify a graphic), so at most a 1-pixel rim, such as a dark outline
# on a dark taskbar, fades into it. And the two stay told apart by colour: "off" has none.
# Prints one PASS:/FAIL: line per check; exits non-zero when any failed.
#   tests/icons/tray_icons.sh [ICON_DIR]   (default: src/app/icons)
set -uo pipefail
REPO="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
DIR="${1:-$REPO/src/app/icons}"
MIN_CONTRAST=3
# Windows 11's taskbar in its light and its dark (the default) mode.
BACKGROUNDS="light:F3F3F3 dark:202020"
FAILED=0

pass() { echo "PASS: $1"; }
fail() { echo "FAIL: $1: $2"; FAILED=1; }

# pixels ICO INDEX: "x,y: (...)  #RRGGBBAA ..." lines of one image of the icon file.
pixels() { convert "$1[$2]" -depth 8 txt:-; }

# outline_contrast BG: reads pixels(), prints the lowest over the shape's edge pixels (opaque
# ones with a 4-neighbour that is not) of the best contrast within one pixel of that edge pixel,
# the picture laid over the background BG (RRGGBB) as the shell blends it.
outline_contrast() {
  awk -v bg="$1" '
    function hex(s,   i, v) {
      v = 0
      for (i = 1; i <= length(s); i++) v = v * 16 + index("0123456789ABCDEF", substr(s, i, 1)) - 1
      return v
    }
    function lin(c) { c /= 255; return c <= 0.04045 ? c / 12.92 : ((c + 0.055) / 1.055) ^ 2.4 }
    function lum(r, g, b) { return 0.2126 * lin(r) + 0.7152 * lin(g) + 0.0722 * lin(b) }
    function ratio(a, b) { return a > b ? (a + 0.05) / (b + 0.05) : (b + 0.05) / (a + 0.05) }
    function solid(x, y) { return x >= 0 && y >= 0 && x < w && y < h && ((x, y) in c) }
    BEGIN { bg = toupper(bg); br = hex(substr(bg, 1, 2)); bgr = hex(substr(bg, 3, 2)); bb = hex(substr(bg, 5, 2))
            lb = lum(br, bgr, bb) }
    /^#/ { split($0, d, /[:,]/); w = d[2] + 0; h = d[3] + 0; next }
    {
      split($1, p, /[,:]/)
      for (i = 2; i <= NF; i++) if (substr($i, 1, 1) == "#") v = toupper(substr($i, 2))
      a = hex(substr(v, 7, 2)) / 255
      if (a < 0.5) next
      r = a * hex(substr(v, 1, 2)) + (1 - a) * br
      g = a * hex(substr(v, 3, 2)) + (1 - a) * bgr
      b = a * hex(substr(v, 5, 2)) + (1 - a) * bb
      c[p[1] + 0, p[2] + 0] = ratio(lum(r, g, b), lb)
    }
    END {
      worst = 0; edges = 0
      for (y = 0; y < h; y++) for (x = 0; x < w; x++) {
        if (!solid(x, y)) continue
        if (solid(x - 1, y) && solid(x + 1, y) && solid(x, y - 1) && solid(x, y + 1)) continue
        best = 0
        for (dy = -1; dy <= 1; dy++) for (dx = -1; dx <= 1; dx++)
          if (solid(x + dx, y + dy) && c[x + dx, y + dy] > best) best = c[x + dx, y + dy]
        if (edges++ == 0 || best < worst) worst = best
      }
      printf "%.2f\n", worst
    }'
}

# chroma: reads pixels(), prints the share of the shape (alpha at least half) whose channels
# differ by a quarter of the range or more, and the largest difference anywhere it is drawn.
chroma() {
  awk '
    function hex(s,   i, v) {
      v = 0
      for (i = 1; i <= length(s); i++) v = v * 16 + index("0123456789ABCDEF", substr(s, i, 1)) - 1
      return v
    }
    /^#/ { next }
    {
      for (i = 2; i <= NF; i++) if (substr($i, 1, 1) == "#") v = toupper(substr($i, 2))
      a = hex(substr(v, 7, 2)); r = hex(substr(v, 1, 2)); g = hex(substr(v, 3, 2)); b = hex(substr(v, 5, 2))
      hi = r > g ? r : g; hi = hi > b ? hi : b; lo = r < g ? r : g; lo = lo < b ? lo : b
      if (a > 0 && hi - lo > most) most = hi - lo
      if (a < 128) next
      shape++
      if (hi - lo >= 64) coloured++
    }
    END { printf "%.2f %d\n", shape ? coloured / shape : 0, most }'
}

for name in tray-on tray-off; do
  ico="$DIR/$name.ico"
  if ! sizes="$(identify -format '%w ' "$ico" 2>/dev/null)"; then
    fail "$name.ico is readable" "identify could not read $ico"
    continue
  fi
  for want in 16 20 24 32; do
    found=""
    i=0
    for s in $sizes; do
      [ "$s" = "$want" ] && found=$i
      i=$((i + 1))
    done
    if [ -z "$found" ]; then
      fail "$name.ico has a $want px image" "sizes: $sizes"
      continue
    fi
    txt="$(pixels "$ico" "$found")"
    for taskbar in $BACKGROUNDS; do
      mode="${taskbar%%:*}" bg="${taskbar#*:}"
      got="$(outline_contrast "$bg" <<<"$txt")"
      check="$name $want px on the $mode taskbar (#$bg): outline contrast $got"
      if awk -v g="${got:-0}" -v m="$MIN_CONTRAST" 'BEGIN { exit !(g >= m) }'; then pass "$check"
      else fail "$check" "below $MIN_CONTRAST:1"; fi
    done
    read -r share most <<<"$(chroma <<<"$txt")"
    if [ "$name" = tray-on ]; then
      # The blue screens and the orange arrow: at 16 px they are under half of it, the frames and
      # stands grey; a quarter still leaves the colour plain to see.
      if awk -v s="$share" 'BEGIN { exit !(s >= 0.25) }'; then pass "$name $want px is in colour ($share of it)"
      else fail "$name $want px is in colour" "only $share of the shape is coloured"; fi
    else
      if [ "$most" -le 8 ]; then pass "$name $want px is grey"
      else fail "$name $want px is grey" "a channel difference of $most"; fi
    fi
  done
done
exit "$FAILED"
