#!/usr/bin/env bash
# Rebuilds the bundled demo: demo/sample.avi (an intact MJPEG AVI whose header
# is used for recovered files) and demo/demo.img (a small disk image with
# three headerless clips and one intact AVI between blocks of noise).
# It then checks that each file a carve of demo.img should produce decodes.
# Needs ffmpeg/ffprobe and python3 (standard library only).
set -euo pipefail

for tool in ffmpeg ffprobe python3; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "make_demo.sh: '$tool' is not installed (on Debian: apt-get install ffmpeg python3)" >&2
    exit 1
  fi
done

demo_dir=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# encode OUTPUT FRAMES SOURCE: 160x120, 10 fps, MJPEG, no audio. The bitexact
# flags keep version strings out of the files so reruns give the same bytes.
encode() {
  ffmpeg -nostdin -hide_banner -loglevel error -y \
    -f lavfi -i "$3=size=160x120:rate=10" -frames:v "$2" -an \
    -c:v mjpeg -q:v 5 -pix_fmt yuvj420p \
    -fflags +bitexact -flags:v +bitexact -f avi "$1"
}

encode "$demo_dir/sample.avi" 20 testsrc
encode "$work/clip1.avi" 25 rgbtestsrc
encode "$work/intact.avi" 12 testsrc
encode "$work/clip2.avi" 15 mandelbrot
encode "$work/clip3.avi" 30 smptebars

python3 - "$demo_dir" "$work" <<'PY'
import hashlib, os, re, struct, sys

demo_dir, work = sys.argv[1], sys.argv[2]

def movi_payload(path):
    """Bytes after the 'movi' fourcc of the top-level LIST movi, to the end of that list."""
    data = open(path, "rb").read()
    if data[0:4] != b"RIFF" or data[8:12] != b"AVI ":
        sys.exit(f"{path}: not a RIFF AVI file")
    off, end = 12, min(len(data), 8 + struct.unpack_from("<I", data, 4)[0])
    while off + 8 <= end:
        ckid = data[off:off + 4]
        size = struct.unpack_from("<I", data, off + 4)[0]
        if ckid == b"LIST" and data[off + 8:off + 12] == b"movi":
            return data[off + 12:off + 8 + size]
        off += 8 + size + (size & 1)   # odd-sized chunks are followed by a pad byte
    sys.exit(f"{path}: no LIST movi found")

def noise(n, label):
    """Deterministic noise: SHA-256 in counter mode, seeded by a label."""
    out = bytearray()
    counter = 0
    while len(out) < n:
        out += hashlib.sha256(b"frambit demo noise/" + label.encode() + b"/%d" % counter).digest()
        counter += 1
    return bytes(out[:n])

clip = lambda name: movi_payload(os.path.join(work, name))
intact = open(os.path.join(work, "intact.avi"), "rb").read()

# Noise gap lengths are chosen so that no piece starts on a 512-byte boundary.
layout = [
    ("noise", noise(3001, "a")),
    ("clip 1 (rgbtestsrc, 25 frames, headerless)", clip("clip1.avi")),
    ("noise", noise(2467, "b")),
    ("intact AVI (testsrc, 12 frames)", intact),
    ("noise", noise(1733, "c")),
    ("clip 2 (mandelbrot, 15 frames, headerless)", clip("clip2.avi")),
    ("noise", noise(2890, "d")),
    ("clip 3 (smptebars, 30 frames, headerless)", clip("clip3.avi")),
    ("noise", noise(1111, "e")),
]

image = bytearray()
print("demo.img layout:")
for label, piece in layout:
    if label != "noise" and len(image) % 512 == 0:
        sys.exit(f"{label} would start on a 512-byte boundary")
    print(f"  {len(image):>7}..{len(image) + len(piece) - 1:>7}  {len(piece):>6} bytes  {label}")
    image += piece
image = bytes(image)
with open(os.path.join(demo_dir, "demo.img"), "wb") as f:
    f.write(image)

# Re-create the carve: every "00dc"/"00db" header starts a run unless it lies
# inside a chunk already taken; a run continues while the next header follows
# directly (or after one pad byte when the size is odd).
TAGS = (b"00dc", b"00db")
def is_header(p):
    return p + 8 <= len(image) and image[p:p + 4] in TAGS
def chunk_end(p):
    return p + 8 + struct.unpack_from("<I", image, p + 4)[0]

runs, taken_until = [], 0
for m in re.finditer(b"00d[cb]", image):
    p = m.start()
    if p < taken_until or not is_header(p) or chunk_end(p) > len(image):
        continue
    run = [p]
    while True:
        end = chunk_end(run[-1])
        candidates = [end, end + 1] if (end - run[-1]) & 1 else [end]
        nxt = next((c for c in candidates if is_header(c) and chunk_end(c) <= len(image)), None)
        if nxt is None:
            break
        run.append(nxt)
    runs.append(run)
    taken_until = chunk_end(run[-1])

sample = open(os.path.join(demo_dir, "sample.avi"), "rb").read()
header = sample[:sample.index(b"movi") + 4]
multi = [r for r in runs if len(r) >= 2]
single = [r[0] for r in runs if len(r) == 1]
if len(multi) != 4:
    sys.exit(f"expected 4 runs of two or more chunks, found {len(multi)}")

os.makedirs(os.path.join(work, "out"))
print(f"sample header: {len(header)} bytes")
print("runs of two or more chunks (one recovered file each):")
for i, run in enumerate(multi, 1):
    body = image[run[0]:run[-1]]   # the closing chunk of a run is not written
    with open(os.path.join(work, "out", f"{i}.AVI"), "wb") as f:
        f.write(header + body)
    print(f"  {i}.AVI: run at {run[0]}, {len(run)} chunks, writes {len(run) - 1}; "
          f"{len(header)} + {len(body)} = {len(header) + len(body)} bytes")
print(f"single-chunk hits (nothing to write): {len(single)} at {single}")
PY

check_decodes() {
  local file=$1 errors frames
  errors=$(ffprobe -v error -count_frames -select_streams v:0 \
    -show_entries stream=nb_read_frames -of csv=p=0 "$file" 2>&1 >/dev/null)
  frames=$(ffprobe -v error -count_frames -select_streams v:0 \
    -show_entries stream=nb_read_frames -of csv=p=0 "$file" 2>/dev/null)
  if [[ -n $errors || -z $frames || $frames == 0 ]]; then
    echo "decode check failed for $file: frames='$frames' $errors" >&2
    exit 1
  fi
  echo "  $(basename "$file"): $frames frames decoded, no errors"
}

echo "ffprobe:"
check_decodes "$demo_dir/sample.avi"
for f in "$work"/out/*.AVI; do
  check_decodes "$f"
done
