#!/usr/bin/env bash
# The skin renderer as the build runs it: the whole tree of 24-bit bitmaps in the sizes the board
# view expects, pure white only around the discs, discs that turn, and the same bytes every run.
# $1 is morvane-cli; the renderer is built beside it.
set -euo pipefail

tools="$(cd "$(dirname "$1")" && pwd)"
renderer="$tools/render-skins/render-skins"
if [ ! -x "$renderer" ]; then
  if grep -Eiq '^MORVANE_BUILD_UI:BOOL=(OFF|0|NO|FALSE|N)$' "$tools/../CMakeCache.txt" 2>/dev/null; then
    echo "skipped: renderer not built"
    exit 0
  fi
  echo "FAIL: $renderer is missing although MORVANE_BUILD_UI is on" >&2
  exit 1
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# Reads a BMP straight from its bytes (not through Qt, which wrote it) and prints:
# width height bits-per-pixel corners-white centre-R centre-G centre-B rows-with-holes
# centre-row-width light-pixels dark-pixels. A hole is a white gap between opaque pixels of a
# row: the shapes are convex, so any gap is a pure-white pixel inside the disc.
bmp_report() {
  od -An -v -tu1 "$1" | awk '
    { for (i = 1; i <= NF; ++i) b[n++] = $i }
    function le(offset, size,   v, i) {
      v = 0
      for (i = size - 1; i >= 0; --i) v = v * 256 + b[offset + i]
      return v
    }
    function at(x, y,   row) {
      row = topdown ? y : h - 1 - y
      o = data + row * stride + x * 3
    }
    function white(x, y) { at(x, y); return b[o] == 255 && b[o + 1] == 255 && b[o + 2] == 255 }
    END {
      data = le(10, 4); w = le(18, 4); h = le(22, 4); bpp = le(28, 2)
      topdown = h >= 2147483648
      if (topdown) h = 4294967296 - h
      stride = int((w * 3 + 3) / 4) * 4
      if (bpp != 24 || n < data + stride * h) { print w, h, bpp, "broken"; exit }
      corners = white(0, 0) && white(w - 1, 0) && white(0, h - 1) && white(w - 1, h - 1)
      holes = 0; light = 0; dark = 0; centre = 0
      for (y = 0; y < h; ++y) {
        runs = 0; previous = 1
        for (x = 0; x < w; ++x) {
          blank = white(x, y)
          if (!blank && previous) ++runs
          previous = blank
          if (blank) continue
          if (y == int(h / 2)) ++centre
          sum = b[o] + b[o + 1] + b[o + 2]
          if (sum > 480) ++light
          if (sum < 270) ++dark
        }
        if (runs > 1) ++holes
      }
      at(int(w / 2), int(h / 2))
      print w, h, bpp, corners, b[o + 2], b[o + 1], b[o], holes, centre, light, dark
    }'
}

if "$renderer" >/dev/null 2>&1; then fail "no output folder accepted"; fi
"$renderer" "$work/first"
"$renderer" "$work/second"

skins=(STANDARD WOOD MARPLE WATER)
boards=(Board8x8 Board10x10 Octagon)
sprites=(b1 b2 b3 b4 w1 w2 w3 w4 bs1 ws1 ok)

for skin in "${skins[@]}"; do
  for board in "${boards[@]}"; do
    folder="$work/first/Skins/$skin/$board"
    cell=40
    [ "$board" = Board8x8 ] && cell=50
    for file in Board "${sprites[@]}"; do
      [ -f "$folder/$file.bmp" ] || fail "$skin/$board/$file.bmp missing"
    done
    [ -f "$folder/Board.bmp" ] || continue
    read -r w h bpp _ < <(od -An -v -tu1 -N54 "$folder/Board.bmp" | awk '
      { for (i = 1; i <= NF; ++i) b[n++] = $i }
      END { print b[18] + 256 * b[19], b[22] + 256 * b[23], b[28] }')
    [ "$w $h $bpp" = "402 402 24" ] || fail "$skin/$board/Board.bmp is ${w}x${h}x$bpp"
    declare -A width=() light=() dark=()
    for file in "${sprites[@]}"; do
      [ -f "$folder/$file.bmp" ] || continue
      read -r w h bpp corners r g b holes centre lit shaded < <(bmp_report "$folder/$file.bmp")
      name="$skin/$board/$file.bmp"
      if [ "$w $h $bpp" != "$cell $cell 24" ]; then
        fail "$name is ${w}x${h}x$bpp, not ${cell}x${cell}x24"
        continue
      fi
      [ "$corners" = 1 ] || fail "$name: a corner is not pure white"
      [ "$r $g $b" != "255 255 255" ] || fail "$name: the centre is transparent"
      [ "$holes" = 0 ] || fail "$name: $holes rows have pure white inside the shape"
      width[$file]=$centre
      light[$file]=$lit
      dark[$file]=$shaded
      case "$file" in
        b1) [ "$r" -lt 90 ] && [ "$g" -lt 90 ] && [ "$b" -lt 90 ] || fail "$name: centre $r $g $b is not black" ;;
        w1) [ "$r" -gt 180 ] && [ "$g" -gt 180 ] && [ "$b" -gt 180 ] || fail "$name: centre $r $g $b is not white" ;;
        bs1 | ws1) [ "$r" -gt 150 ] && [ "$g" -lt 100 ] && [ "$b" -lt 100 ] || fail "$name: centre $r $g $b is not a red mark" ;;
        ok) [ "$centre" -lt $((cell / 3)) ] || fail "$name: the legal-move mark is $centre pixels wide" ;;
      esac
    done
    # A turn: each frame narrower than the one before, the last black frame mostly black and the
    # last white frame mostly white.
    for colour in b w; do
      for k in 1 2 3; do
        [ "${width[$colour$k]:-0}" -gt "${width[$colour$((k + 1))]:-0}" ] ||
          fail "$skin/$board: $colour$((k + 1)) is not narrower than $colour$k"
      done
    done
    [ "${dark[b4]:-0}" -gt "${light[b4]:-0}" ] || fail "$skin/$board: b4 does not show its black face"
    [ "${light[w4]:-0}" -gt "${dark[w4]:-0}" ] || fail "$skin/$board: w4 does not show its white face"
    unset width light dark
  done
done

count=$(find "$work/first/Skins" -type f -name '*.bmp' | wc -l)
[ "$count" = 144 ] || fail "$count bitmaps written, not 144"
diff -r "$work/first" "$work/second" >/dev/null || fail "two runs wrote different bytes"
for ((i = 0; i < ${#skins[@]}; ++i)); do
  for ((j = i + 1; j < ${#skins[@]}; ++j)); do
    cmp -s "$work/first/Skins/${skins[i]}/Board8x8/Board.bmp" \
      "$work/first/Skins/${skins[j]}/Board8x8/Board.bmp" &&
      fail "${skins[i]} and ${skins[j]} have the same board"
  done
done

# The octagon's twelve cut cells look unlike the same cells of the full 10 x 10 board.
for skin in "${skins[@]}"; do
  data=$(od -An -tu4 -j10 -N4 "$work/first/Skins/$skin/Octagon/Board.bmp" | tr -d ' ')
  for cut in 0,0 1,0 0,1 8,0 9,0 9,1 0,8 0,9 1,9 9,8 8,9 9,9; do
    column=${cut%,*}
    row=${cut#*,}
    # 24-bit rows of 402 pixels take 1208 bytes, stored bottom-up after the header.
    offset=$((data + (401 - (row * 40 + 20)) * 1208 + (column * 40 + 20) * 3))
    full=$(od -An -tu1 -j"$offset" -N3 "$work/first/Skins/$skin/Board10x10/Board.bmp")
    octagon=$(od -An -tu1 -j"$offset" -N3 "$work/first/Skins/$skin/Octagon/Board.bmp")
    [ "$full" != "$octagon" ] || fail "$skin/Octagon: cell $cut is not cut off"
  done
done

if [ "$failures" -ne 0 ]; then
  echo "$failures failed"
  exit 1
fi
echo "render_skins: all checks passed"
