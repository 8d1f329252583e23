#!/usr/bin/env bash
# Round trips through imgfilt from the shell: formats, reversible operations, band sizes, and
# the refusal of damaged and oversized files.
set -u
IMGFILT=$(realpath "$1")
DIR=$(mktemp -d)
trap 'rm -rf "$DIR"' EXIT
cd "$DIR"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# A gray 37 x 29 and a colour 23 x 17 image of pseudo-random bytes 1..255 (fixed seed).
pnm() {  # type width height bytes-per-pixel
  printf 'P%s\n%s %s\n255\n' "$1" "$2" "$3"
  awk -v n=$(($2 * $3 * $4)) 'BEGIN { s = 7; for (i = 0; i < n; i++) { s = (s * 1103515245 + 12345) % 2147483648; v = int(s / 65536) % 256; printf "%c", v == 0 ? 1 : v } }'
}
LC_ALL=C pnm 5 37 29 1 > gray.pgm
LC_ALL=C pnm 6 23 17 3 > colour.ppm
[ "$(wc -c < gray.pgm)" -eq $((13 + 37 * 29)) ] || fail "test image has the wrong size"

"$IMGFILT" gray.pgm copy.png && "$IMGFILT" copy.png copy.pgm && cmp -s gray.pgm copy.pgm || fail "PGM -> PNG -> PGM"
"$IMGFILT" colour.ppm copy.tif && "$IMGFILT" copy.tif copy.ppm && cmp -s colour.ppm copy.ppm || fail "PPM -> TIFF -> PPM"
"$IMGFILT" --invert gray.pgm inv.png && "$IMGFILT" --invert inv.png back.pgm && cmp -s gray.pgm back.pgm || fail "invert twice"
cmp -s gray.pgm <("$IMGFILT" --invert gray.pgm inv.pgm && cat inv.pgm) && fail "invert changed nothing"
"$IMGFILT" --mirror colour.ppm m.tif && "$IMGFILT" --mirror --band 3 m.tif back.ppm && cmp -s colour.ppm back.ppm || fail "mirror twice"

# A chain with neighbourhood filters gives the same bytes whatever the band size.
"$IMGFILT" --median --descreen 150 --blur 2 --band 4 gray.pgm a.pgm || fail "chain in bands of 4"
"$IMGFILT" --median --descreen 150 --blur 2 --band 1000 gray.pgm b.pgm || fail "chain in one band"
cmp -s a.pgm b.pgm || fail "band size changed the result"
cmp -s <(head -c 13 a.pgm) <(head -c 13 gray.pgm) || fail "the chain changed the image size"

"$IMGFILT" --resize 20x10 colour.ppm small.ppm && cmp -s <(head -c 13 small.ppm) <(printf 'P6\n20 10\n255\n') &&
  [ "$(wc -c < small.ppm)" -eq $((13 + 20 * 10 * 3)) ] || fail "resize"
# A field of 200 thresholded at 128 is all light: P4 stores light as 0 bits.
{ printf 'P5\n16 2\n255\n'; printf '\310%.0s' $(seq 32); } > light.pgm
"$IMGFILT" --threshold 128 light.pgm light.pbm || fail "threshold"
[ "$(od -An -tx1 -j 8 light.pbm | tr -d ' \n')" = "00000000" ] || fail "threshold bits: $(od -An -tx1 light.pbm)"
"$IMGFILT" --invert light.pbm dark.pbm && [ "$(od -An -tx1 -j 8 dark.pbm | tr -d ' \n')" = "ffffffff" ] || fail "bilevel invert"

expect_refusal() {  # pattern, then the command
  local pattern=$1; shift
  local out
  out=$("$IMGFILT" "$@" 2>&1)
  local code=$?
  [ $code -ne 0 ] || fail "accepted: $*"
  echo "$out" | grep -q "$pattern" || fail "message for $*: $out"
}
head -c 500 gray.pgm > short.pgm
expect_refusal "truncated" --invert short.pgm out.pgm
printf 'P5\n100000000 100000000\n255\n' > huge.pgm
expect_refusal "too large" --invert huge.pgm out.pgm
printf 'P5\n37 x\n255\n' > damaged.pgm
expect_refusal "damaged" damaged.pgm out.pgm
echo "hello" > text.txt
expect_refusal "not a PNG, TIFF" text.txt out.pgm
head -c 60 copy.png > short.png
expect_refusal "short.png" short.png out.pgm
expect_refusal "bilevel image takes only" --blur 1 light.pbm out.pbm
expect_refusal "need a gray image" --threshold 9 colour.ppm out.pbm
expect_refusal "unknown option" --frobnicate gray.pgm out.pgm
expect_refusal "runs on its own" --rotate 90 --invert gray.pgm out.pgm
expect_refusal "needs a gray or colour image" --rotate 90 light.pbm out.pbm
expect_refusal "must end in" gray.pgm out.jpg

"$IMGFILT" --detect-lpi colour.ppm | grep -q "screen ruling" || fail "--detect-lpi prints no answer"
"$IMGFILT" --auto-type colour.ppm | grep -q "scan type: " || fail "--auto-type prints no answer"
# Four quarter turns give the image back, byte for byte; one turn swaps width and height.
"$IMGFILT" --rotate 90 colour.ppm r1.ppm && "$IMGFILT" --rotate 90 r1.ppm r2.ppm &&
  "$IMGFILT" --rotate 90 r2.ppm r3.ppm && "$IMGFILT" --rotate 90 r3.ppm r4.ppm || fail "--rotate failed"
cmp -s colour.ppm r4.ppm || fail "four quarter turns changed the image"
[ "$(sed -n 2p colour.ppm | awk '{print $2, $1}')" = "$(sed -n 2p r1.ppm)" ] || fail "a quarter turn kept the size"
# A low-contrast 133-lpi screen at 30 degrees, as a 300-dpi scan shows a printed gray.
LC_ALL=C awk 'BEGIN { n = 160; printf "P6\n%d %d\n255\n", n, n; pi = 3.14159265358979; f = 133 / 300; a = pi / 6
  for (y = 0; y < n; y++) for (x = 0; x < n; x++) { on = 0
    for (s = 0; s < 16; s++) { px = x + (s % 4 + 0.5) / 4; py = y + (int(s / 4) + 0.5) / 4
      u = f * (px * cos(a) + py * sin(a)); v = f * (-px * sin(a) + py * cos(a)); if (cos(2 * pi * u) + cos(2 * pi * v) > 0) on++ }
    g = 108 + int(40 * on / 16); printf "%c%c%c", g, g, g } }' > screen.ppm
"$IMGFILT" --detect-lpi screen.ppm | grep -q "133 lpi" || fail "--detect-lpi on a 133-lpi screen: $("$IMGFILT" --detect-lpi screen.ppm)"

[ $failures -eq 0 ] && echo "all round trips passed"
exit $failures
