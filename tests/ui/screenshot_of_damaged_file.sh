#!/bin/sh
# The window drawn into a picture without anyone at the screen: a project
# that is cut off must not leave it waiting on a message box.
set -eu
analyser=$1
demo=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
size=$(wc -c < "$demo")
head -c $((size / 5)) "$demo" > "$work/cut.tav"
QT_QPA_PLATFORM=offscreen HOME="$work" timeout 120 "$analyser" --screenshot "$work/window.png" "$work/cut.tav" \
    > "$work/out.txt" 2> "$work/err.txt" || { echo "exit $?"; cat "$work/err.txt"; exit 1; }
grep -q "未能完整打开" "$work/err.txt" || { echo "no load problem reported:"; cat "$work/err.txt"; exit 1; }
# Decoded: every chunk's checksum, the header, and the inflated rows.
python3 - "$work/window.png" <<'PY'
import struct, sys, zlib
data = open(sys.argv[1], 'rb').read()
assert data[:8] == b'\x89PNG\r\n\x1a\n', 'not a PNG'
pos, chunks = 8, []
while pos < len(data):
    n, kind = struct.unpack('>I4s', data[pos:pos + 8])
    body = data[pos + 8:pos + 8 + n]
    assert zlib.crc32(kind + body) == struct.unpack('>I', data[pos + 8 + n:pos + 12 + n])[0], kind
    chunks.append((kind, body))
    pos += 12 + n
width, height, depth, colour = struct.unpack('>IIBB', chunks[0][1][:10])
channels = {2: 3, 6: 4}[colour]
rows = zlib.decompress(b''.join(b for k, b in chunks if k == b'IDAT'))
assert (width, height) == (1280, 800), (width, height)
assert len(rows) == height * (1 + width * channels * depth // 8), len(rows)
PY
echo "drawn: $(cat "$work/out.txt")"
