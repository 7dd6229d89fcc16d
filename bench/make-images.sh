#!/usr/bin/env bash
# Builds the benchmark images for bench/run.sh (see bench/README.md).
#
#   bench/make-images.sh [WORK_DIR]
#
# WORK_DIR defaults to $FRAMBIT_BENCH_DIR, then /tmp/frambit-bench. It receives
#   random.img           pseudo-random bytes with AVI movie-list copies embedded
#   random.img.manifest  where each copy lies (offset, length, movie chunks, source)
#   digits.img           random ASCII digits '0'..'9'
#   sample.avi           the sample AVI handed to frambit-cli --sample
#   avi/                 the AVIs whose movie lists are embedded
# Images that already exist with the right size are reused.
#
# Environment:
#   FRAMBIT_BENCH_SIZE   image size, bytes or with K/M/G/T suffix (default 2G)
#   FRAMBIT_BENCH_EVERY  one movie-list copy per this many bytes (default 64M)
#   FRAMBIT_BUILD_DIR    build directory, relative to the repo root (default build)
#   CXX                  compiler for the generator when the build has none (default c++)
set -euo pipefail
export LC_ALL=C

REPO=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/.." && pwd -P)
BENCH="$REPO/bench"

die() { printf 'make-images: error: %s\n' "$*" >&2; exit 1; }
note() { printf 'make-images: %s\n' "$*" >&2; }

# Bytes from "2G", "512MiB", "1073741824" (suffixes are powers of 1024).
to_bytes() {
    local text=$1 num unit
    [[ $text =~ ^([0-9]+)([KkMmGgTt]?)([iI]?[bB]?)$ ]] || die "bad size: $text"
    num=${BASH_REMATCH[1]}
    unit=${BASH_REMATCH[2]^^}
    case $unit in
        "") echo "$num" ;;
        K) echo $((num << 10)) ;;
        M) echo $((num << 20)) ;;
        G) echo $((num << 30)) ;;
        T) echo $((num << 40)) ;;
    esac
}

abs_from_repo() {  # relative paths are taken relative to the repo root
    case $1 in
        /*) printf '%s\n' "$1" ;;
        *) printf '%s\n' "$REPO/$1" ;;
    esac
}

WORK=${1:-${FRAMBIT_BENCH_DIR:-/tmp/frambit-bench}}
SIZE=$(to_bytes "${FRAMBIT_BENCH_SIZE:-2G}")
EVERY=$(to_bytes "${FRAMBIT_BENCH_EVERY:-64M}")
BUILD=$(abs_from_repo "${FRAMBIT_BUILD_DIR:-build}")

command -v ffmpeg >/dev/null || die "ffmpeg is needed to make the AVIs"
((SIZE >= 2 * EVERY)) || die "image size $SIZE is smaller than two slots of $EVERY bytes"
((SIZE >= 2 << 30)) || note "note: image size $SIZE is below 2 GiB; figures from small images are noisy"

mkdir -p -- "$WORK"
WORK=$(cd -- "$WORK" && pwd -P)
case "$WORK/" in
    "$REPO"/*) die "work folder $WORK lies inside the repository; choose one outside it" ;;
esac
mkdir -p -- "$WORK/avi" "$WORK/bin"

# --- the generator -----------------------------------------------------------
GEN_SRC="$BENCH/bench_gen.cpp"
if [[ -x $BUILD/frambit-bench-gen && $BUILD/frambit-bench-gen -nt $GEN_SRC ]]; then
    GEN="$BUILD/frambit-bench-gen"
else
    GEN="$WORK/bin/frambit-bench-gen"
    if [[ ! -x $GEN || $GEN_SRC -nt $GEN ]]; then
        note "compiling $GEN"
        "${CXX:-c++}" -std=c++20 -O2 -Wall -Wextra -o "$GEN.tmp" "$GEN_SRC" || die "cannot compile $GEN_SRC"
        mv -f -- "$GEN.tmp" "$GEN"
    fi
fi

# --- the AVIs ----------------------------------------------------------------
# name|lavfi source|seconds|codec options|how to embed (dc: as written, db: relabel 00dc as 00db)
# ffmpeg stores raw frames as 00dc as well, so the raw ones are relabelled to the
# 00db id that uncompressed frames carry.
# Together about 24 MB of movie lists; one copy per 64 MiB gives ~150 MB per 2 GiB.
AVIS=(
    "mjpeg-320x240-20s.avi|testsrc=size=320x240:rate=25|20|-c:v mjpeg -q:v 3|dc"
    "mjpeg-640x360-20s.avi|testsrc2=size=640x360:rate=25|20|-c:v mjpeg -q:v 3|dc"
    "mjpeg-160x120-30s.avi|mandelbrot=size=160x120:rate=10|30|-c:v mjpeg -q:v 5|dc"
    "raw-64x48-20s.avi|testsrc=size=64x48:rate=25|20|-c:v rawvideo -pix_fmt bgr24|db"
    "raw-32x24-30s.avi|testsrc=size=32x24:rate=10|30|-c:v rawvideo -pix_fmt bgr24|db"
)

make_avi() {  # OUT LAVFI SECONDS CODEC-OPTIONS...
    local out=$1 src=$2 secs=$3
    shift 3
    [[ -s $out ]] && return 0
    note "ffmpeg: $(basename -- "$out")"
    ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i "$src" -t "$secs" "$@" "$out.tmp.avi" ||
        die "ffmpeg failed for $out"
    mv -f -- "$out.tmp.avi" "$out"
}

make_avi "$WORK/sample.avi" "testsrc=size=160x120:rate=10" 2 -c:v mjpeg

GEN_ARGS=()
declare -A WANTED=()
for entry in "${AVIS[@]}"; do
    IFS='|' read -r name src secs codec how <<<"$entry"
    WANTED[$name]=1
    read -r -a codec_args <<<"$codec"
    make_avi "$WORK/avi/$name" "$src" "$secs" "${codec_args[@]}"
    if [[ $how == db ]]; then
        GEN_ARGS+=(--avi-as-db "$WORK/avi/$name")
    else
        GEN_ARGS+=(--avi "$WORK/avi/$name")
    fi
done

for avi in "$WORK"/avi/*; do  # drop AVIs of an earlier list
    if [[ -e $avi && -z ${WANTED[$(basename -- "$avi")]:-} ]]; then
        rm -f -- "$avi"
    fi
done

# --- the images ----------------------------------------------------------------
file_size() { stat -c %s -- "$1" 2>/dev/null || echo -1; }

need_space() {  # BYTES
    local avail
    avail=$(df -P -B1 -- "$WORK" | awk 'NR == 2 { print $4 }')
    ((avail > $1 + (256 << 20))) || die "not enough space in $WORK: need $1 bytes, $avail available"
}

random_ok() {
    local img="$WORK/random.img" man="$WORK/random.img.manifest"
    [[ $(file_size "$img") == "$SIZE" && -s $man ]] || return 1
    head -n 1 -- "$man" | grep -q "^# frambit benchmark image: $SIZE bytes, one movie-list copy every $EVERY bytes$" ||
        return 1
    local avi
    for avi in "$WORK"/avi/*.avi; do
        [[ $avi -nt $img ]] && return 1
    done
    return 0
}

if random_ok; then
    note "reusing $WORK/random.img"
else
    rm -f -- "$WORK/random.img" "$WORK/random.img.manifest"
    need_space "$SIZE"
    note "generating $WORK/random.img ($SIZE bytes)"
    start=$EPOCHREALTIME
    "$GEN" random "$WORK/random.img" "$SIZE" --every "$EVERY" --manifest "$WORK/random.img.manifest" "${GEN_ARGS[@]}"
    note "random.img took $(awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f", b - a }') s"
fi

if [[ $(file_size "$WORK/digits.img") == "$SIZE" ]]; then
    note "reusing $WORK/digits.img"
else
    rm -f -- "$WORK/digits.img"
    need_space "$SIZE"
    note "generating $WORK/digits.img ($SIZE bytes)"
    start=$EPOCHREALTIME
    "$GEN" digits "$WORK/digits.img" "$SIZE"
    note "digits.img took $(awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f", b - a }') s"
fi

tail -n 1 -- "$WORK/random.img.manifest" | sed 's/^# total /make-images: random.img holds /' >&2
