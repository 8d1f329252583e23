#!/usr/bin/env bash
# The rastfx program on a page it is given: a white 24-bit BMP with a checkered block. Descreen
# into PNG, reduce into TIFF, enlarge, crop into BMP, and check each result's size and content.
set -euo pipefail
app=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export SCANSUITE_ROOT=$work/root
python3 - "$work/page.bmp" <<'PY'
import struct, sys
w, h = 64, 48
stride = (w * 3 + 3) // 4 * 4
rows = bytearray()
for y in range(h):          # bottom-up
    top = h - 1 - y
    row = bytearray()
    for x in range(w):
        inside = 20 <= x < 30 and 10 <= top < 18
        v = (0 if (x + top) % 2 else 255) if inside else 255
        row += bytes((v, v, v))
    rows += row + bytes(stride - len(row))
header = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(rows), 0, 0, 0, 0)
open(sys.argv[1], 'wb').write(b'BM' + struct.pack('<IHHI', 14 + 40 + len(rows), 0, 0, 54) + header + rows)
PY
"$app" descreen 1.5 "$work/page.bmp" "$work/soft.png"
"$app" resize 32x24 "$work/soft.png" "$work/small.tif"
"$app" resize 100x75 "$work/small.tif" "$work/large.bmp"
"$app" crop 0 0 "$work/page.bmp" "$work/crop.bmp" | grep -q "cropped to 10 x 8"
"$app" crop 40 "$work/soft.png" "$work/crop2.png" >/dev/null
"$app" resize 64x48 "$work/soft.png" "$work/soft.bmp"   # the same size: a plain copy to read back
if "$app" resize 0x5 "$work/page.bmp" "$work/bad.bmp" 2>/dev/null; then echo "size 0 accepted"; exit 1; fi
if "$app" descreen 2 "$work/none.bmp" "$work/x.bmp" 2>/dev/null; then echo "missing file accepted"; exit 1; fi
python3 - "$work" <<'PY'
import struct, sys
d = sys.argv[1]
png = open(d + '/soft.png', 'rb').read()
assert png[:8] == b'\x89PNG\r\n\x1a\n', 'soft.png is not a PNG'
w, h = struct.unpack('>II', png[16:24])
assert (w, h) == (64, 48), (w, h)
# The checkered block is blurred to grey: no pixel in its middle stays black or white, and the
# page far from it stays white.
soft = open(d + '/soft.bmp', 'rb').read()
row = soft[54 + (47 - 14) * 192:54 + (48 - 14) * 192]
middle = [row[x * 3] for x in range(23, 27)]
assert all(40 < v < 250 for v in middle), middle
assert row[60 * 3] == 255, row[60 * 3]
tif = open(d + '/small.tif', 'rb').read()
assert tif[:4] == b'II*\x00', 'small.tif is not a TIFF'
bmp = open(d + '/large.bmp', 'rb').read()
assert bmp[:2] == b'BM' and struct.unpack('<ii', bmp[18:26]) == (100, 75)
crop = open(d + '/crop.bmp', 'rb').read()
assert struct.unpack('<ii', crop[18:26]) == (10, 8)
PY
echo "rastfx program: descreen, resize and crop round trip"
