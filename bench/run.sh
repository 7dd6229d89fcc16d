#!/usr/bin/env bash
# Frambit throughput benchmark (see bench/README.md).
#
#   bench/run.sh [--baseline] [WORK_DIR]
#
# Builds the images if missing (bench/make-images.sh), then for random.img and
# digits.img with a warm page cache:
#   - times `cat IMAGE > /dev/null` and the scan of `frambit-cli full-disk`,
#   - times `cp -R` of the recovered files against frambit's output phase,
# and prints a table. --baseline times only cat and cp (cp of copies of the
# embedded movie lists), so it runs without build/frambit-cli.
#
# Environment:
#   FRAMBIT_BENCH_DIR      work folder (default /tmp/frambit-bench; WORK_DIR wins)
#   FRAMBIT_BENCH_SIZE     image size (default 2G), see make-images.sh
#   FRAMBIT_BENCH_EVERY    one embedded movie list per this many bytes (default 64M)
#   FRAMBIT_BUILD_DIR      build directory, relative to the repo root (default build)
#   FRAMBIT_BENCH_RUNS     timed runs per measurement, the best counts (default 3)
#   FRAMBIT_BENCH_CP_RUNS  timed runs of cp (default the larger of 5 and RUNS)
#   FRAMBIT_BENCH_TIMEOUT  seconds one frambit-cli run may take (default 900)
#   FRAMBIT_BENCH_HYPERFINE  0 to time cat without hyperfine even if installed
# Timings are reported, never judged: the exit status only reflects errors.
set -euo pipefail
export LC_ALL=C

REPO=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/.." && pwd -P)
BENCH="$REPO/bench"

die() { printf 'run.sh: error: %s\n' "$*" >&2; exit 1; }
note() { printf 'run.sh: %s\n' "$*" >&2; }

usage() {
    sed -n '2,/^set -euo/{/^set -euo/d; s/^# \{0,1\}//; p}' -- "${BASH_SOURCE[0]}"
    exit "${1:-0}"
}

BASELINE=0
WORK=
while (($#)); do
    case $1 in
        --baseline) BASELINE=1 ;;
        -h | --help) usage 0 ;;
        -*) printf 'run.sh: unknown option %s\n' "$1" >&2; usage 2 >&2 ;;
        *) [[ -z $WORK ]] || usage 2 >&2; WORK=$1 ;;
    esac
    shift
done
WORK=${WORK:-${FRAMBIT_BENCH_DIR:-/tmp/frambit-bench}}

case ${FRAMBIT_BUILD_DIR:-build} in
    /*) BUILD=${FRAMBIT_BUILD_DIR} ;;
    *) BUILD="$REPO/${FRAMBIT_BUILD_DIR:-build}" ;;
esac
CLI="$BUILD/frambit-cli"
RUNS=${FRAMBIT_BENCH_RUNS:-3}
TIMEOUT=${FRAMBIT_BENCH_TIMEOUT:-900}
[[ $RUNS =~ ^[1-9][0-9]*$ ]] || die "FRAMBIT_BENCH_RUNS must be a positive integer"
# A cp of the recovered files lasts only tens of milliseconds, so it gets more runs.
CP_RUNS=${FRAMBIT_BENCH_CP_RUNS:-$((RUNS > 5 ? RUNS : 5))}
[[ $CP_RUNS =~ ^[1-9][0-9]*$ ]] || die "FRAMBIT_BENCH_CP_RUNS must be a positive integer"

if ((!BASELINE)) && [[ ! -x $CLI ]]; then
    die "$CLI is missing or not executable.
  Build the project first, e.g.:  cmake -S $REPO -B $BUILD -DCMAKE_BUILD_TYPE=Release && cmake --build $BUILD
  (set FRAMBIT_BUILD_DIR for another build directory, or use --baseline to time only cat and cp)"
fi

FRAMBIT_BENCH_DIR=$WORK "$BENCH/make-images.sh" "$WORK"
WORK=$(cd -- "$WORK" && pwd -P)
SAMPLE="$WORK/sample.avi"
mkdir -p -- "$WORK/logs"

# --- helpers -----------------------------------------------------------------
calc() { awk "BEGIN { $1 }" </dev/null; }  # awk arithmetic on floats
seconds_since() { calc "printf \"%.6f\", $EPOCHREALTIME - $1"; }
min_of() { awk -v a="$1" -v b="$2" 'BEGIN { print (a + 0 < b + 0 ? a : b) }' </dev/null; }
max_of() { awk -v a="$1" -v b="$2" 'BEGIN { print (a + 0 > b + 0 ? a : b) }' </dev/null; }
mbps() { calc "if ($2 > 0) printf \"%.1f\", $1 / $2 / 1e6; else print \"inf\""; }
ratio() { calc "if ($2 > 0) printf \"%.2f\", $1 / $2; else print \"n/a\""; }
verdict() { calc "print ($1 >= $2 * $3 ? \"met\" : \"below\")"; }  # MBPS BASE_MBPS TARGET_RATIO

file_size() { stat -c %s -- "$1"; }
tree_bytes() { find "$1" -type f -printf '%s\n' | awk '{ s += $1 } END { printf "%d\n", s }'; }
tree_files() { find "$1" -type f | wc -l; }

# A number out of the first stdout line holding LABEL: field INDEX (1-based).
field() {  # LOG LABEL INDEX
    local line
    line=$(grep -m 1 -F -- "$2" "$1") || die "frambit-cli printed no '$2' line (see $1)"
    line=${line#*"$2"}
    grep -oE '[0-9]+(\.[0-9]+)?' <<<"$line" | sed -n "${3}p" | grep . ||
        die "cannot read field $3 of the '$2' line in $1"
}

check_fits_in_ram() {  # IMAGE
    local size avail_kb
    size=$(file_size "$1")
    avail_kb=$(awk '/^MemAvailable:/ { print $2 }' /proc/meminfo)
    ((size + (1 << 30) <= avail_kb * 1024)) ||
        die "$(basename -- "$1") ($size bytes) does not fit in the page cache ($((avail_kb * 1024)) bytes available); use a smaller FRAMBIT_BENCH_SIZE"
}

warm() {  # IMAGE: read once, report how much of it the page cache holds
    cat -- "$1" >/dev/null
    if command -v fincore >/dev/null; then
        local res size
        res=$(fincore -b -n -o RES -- "$1" 2>/dev/null | awk 'NR == 1 { print $1 }')
        size=$(file_size "$1")
        if [[ $res =~ ^[0-9]+$ ]]; then
            note "$(basename -- "$1"): $(calc "printf \"%.1f\", 100 * $res / $size")% in the page cache"
            ((res * 100 >= size * 99)) || note "warning: $(basename -- "$1") is not fully cached; figures include disk reads"
        fi
    fi
}

# Best wall-clock seconds of `cat IMAGE > /dev/null` over RUNS runs.
time_cat() {  # IMAGE
    if [[ ${FRAMBIT_BENCH_HYPERFINE:-1} != 0 ]] && command -v hyperfine >/dev/null; then
        local json="$WORK/logs/hyperfine-cat.json"
        hyperfine -N --style none --warmup 1 --runs "$RUNS" --export-json "$json" "cat -- $(printf '%q' "$1")" >/dev/null 2>&1 ||
            die "hyperfine failed on cat $1"
        sed -n 's/.*"min": *\([0-9.eE+-]*\).*/\1/p' "$json" | head -n 1
        return
    fi
    local best=1e30 start r
    for ((r = 1; r <= RUNS; r++)); do
        start=$EPOCHREALTIME
        cat -- "$1" >/dev/null
        best=$(min_of "$best" "$(seconds_since "$start")")
    done
    printf '%s\n' "$best"
}

# Best seconds of `cp -R SRC COPY` (same file system) over CP_RUNS runs.
time_cp() {  # SRC_DIR
    local copy="$WORK/cp-copy" best=1e30 start r
    for ((r = 1; r <= CP_RUNS; r++)); do
        rm -rf -- "$copy"
        sync
        start=$EPOCHREALTIME
        cp -R -- "$1" "$copy"
        best=$(min_of "$best" "$(seconds_since "$start")")
    done
    rm -rf -- "$copy"
    printf '%s\n' "$best"
}

# For --baseline: files like the ones a session would write, one per embedded
# movie list, cut out of the image.
baseline_files() {  # IMAGE MANIFEST DIR
    rm -rf -- "$3"
    mkdir -p -- "$3"
    local off len rest n=0
    while read -r off len rest; do
        [[ $off == \#* ]] && continue
        n=$((n + 1))
        dd if="$1" of="$3/$(printf '%05d' "$n").avi" iflag=skip_bytes,count_bytes skip="$off" count="$len" \
            bs=1M status=none
    done <"$2"
}

manifest_total() {  # IMAGE KEY
    local man="$1.manifest"
    [[ -s $man ]] || { echo 0; return; }
    tail -n 1 -- "$man" | grep -oE "$2=[0-9]+" | cut -d= -f2
}

# --- measurements ----------------------------------------------------------------
declare -A CAT_S SCAN_MBPS SCAN_BYTES HITS OUT_FILES OUT_BYTES OUT_MBPS CP_S CP_BYTES UNREAD

bench_image() {  # NAME
    local name=$1 img="$WORK/$1.img"
    local out="$WORK/out-$name" log="$WORK/logs/$name"
    check_fits_in_ram "$img"
    note "== $name.img: warming the page cache"
    warm "$img"
    note "$name.img: timing cat (best of $RUNS)"
    CAT_S[$name]=$(time_cat "$img")
    note "$name.img: cat $(mbps "$(file_size "$img")" "${CAT_S[$name]}") MB/s"

    if ((BASELINE)); then
        SCAN_MBPS[$name]=-
        if [[ -s $img.manifest && $(manifest_total "$img" copies) -gt 0 ]]; then
            baseline_files "$img" "$img.manifest" "$out"
        else
            rm -rf -- "$out"
            mkdir -p -- "$out"
        fi
    else
        # frambit-cli prints seconds with few decimals, so its own MB/s (taken from
        # its exact clock) is the figure used; the best run counts.
        local r best_scan=0 best_out=0 s
        for ((r = 1; r <= RUNS; r++)); do
            rm -rf -- "$out"
            mkdir -p -- "$out"
            sync
            note "$name.img: frambit-cli full-disk, run $r of $RUNS"
            local status=0
            timeout "$TIMEOUT" "$CLI" full-disk --target "$img" --sample "$SAMPLE" --output "$out" \
                >"$log.out" 2>"$log.err" || status=$?
            if ((status != 0)); then
                tail -n 20 -- "$log.err" >&2 || true
                die "frambit-cli exited with status $status on $name.img (logs: $log.out, $log.err)"
            fi
            s=$(field "$log.out" "扫描:" 3)
            best_scan=$(max_of "$best_scan" "$s")
            s=$(field "$log.out" "输出:" 4)
            best_out=$(max_of "$best_out" "$s")
            note "$name.img: $(grep -m 1 -F '扫描:' "$log.out")"
            note "$name.img: $(grep -m 1 -F '输出:' "$log.out")"
        done
        SCAN_BYTES[$name]=$(field "$log.out" "扫描:" 1)
        SCAN_MBPS[$name]=$best_scan
        HITS[$name]=$(field "$log.out" "碎片:" 1)
        OUT_FILES[$name]=$(field "$log.out" "输出:" 1)
        OUT_BYTES[$name]=$(field "$log.out" "输出:" 2)
        OUT_MBPS[$name]=$best_out
        UNREAD[$name]=$(field "$log.out" "无法读取:" 1)
    fi

    CP_BYTES[$name]=$(tree_bytes "$out")
    if ((CP_BYTES[$name] > 0)); then
        note "$name.img: timing cp -R of $(tree_files "$out") files, ${CP_BYTES[$name]} bytes (best of $CP_RUNS)"
        CP_S[$name]=$(time_cp "$out")
        note "$name.img: cp $(mbps "${CP_BYTES[$name]}" "${CP_S[$name]}") MB/s"
    else
        CP_S[$name]=-
    fi
    ((BASELINE)) && rm -rf -- "$out"
    return 0
}

IMAGES=(random digits)
for name in "${IMAGES[@]}"; do
    bench_image "$name"
done

# --- report ------------------------------------------------------------------
declare -A SCAN_TARGET=([random]=0.8 [digits]=0.5)
declare -A SCAN_TARGET_TEXT=([random]=">= 0.80 (aim 0.90)" [digits]=">= 0.50")
OUT_TARGET=0.8

report() {
    local name size cat_mbps scan_mbps r
    size=$(file_size "$WORK/random.img")
    printf '\nFrambit benchmark: %s-byte images in %s, best of %s runs (cp: %s), warm page cache\n' \
        "$size" "$WORK" "$RUNS" "$CP_RUNS"
    ((BASELINE)) && printf '(--baseline: frambit-cli not run)\n'
    printf '\n%-11s %10s %10s %9s  %s\n' "scan" "cat MB/s" "scan MB/s" "scan/cat" "target"
    for name in "${IMAGES[@]}"; do
        size=$(file_size "$WORK/$name.img")
        cat_mbps=$(mbps "$size" "${CAT_S[$name]}")
        if [[ ${SCAN_MBPS[$name]} == - ]]; then
            printf '%-11s %10s %10s %9s  %s\n' "$name.img" "$cat_mbps" - - "${SCAN_TARGET_TEXT[$name]}"
        else
            scan_mbps=${SCAN_MBPS[$name]}
            r=$(ratio "$scan_mbps" "$cat_mbps")
            printf '%-11s %10s %10s %9s  %-19s %s\n' "$name.img" "$cat_mbps" "$scan_mbps" "$r" \
                "${SCAN_TARGET_TEXT[$name]}" "$(verdict "$scan_mbps" "$cat_mbps" "${SCAN_TARGET[$name]}")"
        fi
    done

    printf '\n%-11s %6s %11s %10s %10s %9s  %s\n' "output" "files" "bytes" "cp MB/s" "out MB/s" "out/cp" "target"
    for name in "${IMAGES[@]}"; do
        local files bytes cp_mbps out_mbps
        if ((BASELINE)); then
            files=$(manifest_total "$WORK/$name.img" copies)
            bytes=${CP_BYTES[$name]}
        else
            files=${OUT_FILES[$name]}
            bytes=${OUT_BYTES[$name]}
        fi
        if [[ ${CP_S[$name]} == - ]]; then
            printf '%-11s %6s %11s %10s %10s %9s  %s\n' "$name.img" "${files:-0}" "${bytes:-0}" - - - "(nothing written)"
            continue
        fi
        cp_mbps=$(mbps "${CP_BYTES[$name]}" "${CP_S[$name]}")
        if ((BASELINE)); then
            printf '%-11s %6s %11s %10s %10s %9s  %s\n' "$name.img" "$files" "$bytes" "$cp_mbps" - - ">= 0.80"
        else
            out_mbps=${OUT_MBPS[$name]}
            r=$(ratio "$out_mbps" "$cp_mbps")
            printf '%-11s %6s %11s %10s %10s %9s  %-8s %s\n' "$name.img" "$files" "$bytes" "$cp_mbps" "$out_mbps" \
                "$r" ">= 0.80" "$(verdict "$out_mbps" "$cp_mbps" "$OUT_TARGET")"
        fi
    done

    printf '\n%-11s %11s %10s %10s %11s\n' "found" "scanned" "hits" "embedded" "unreadable"
    for name in "${IMAGES[@]}"; do
        printf '%-11s %11s %10s %10s %11s\n' "$name.img" "${SCAN_BYTES[$name]:--}" "${HITS[$name]:--}" \
            "$(manifest_total "$WORK/$name.img" movie_chunks)" "${UNREAD[$name]:--}"
    done
    ((BASELINE)) || printf '\nframbit-cli logs: %s/logs/, recovered files: %s/out-*/\n' "$WORK" "$WORK"
}

report | tee "$WORK/result.txt"
