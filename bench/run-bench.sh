#!/usr/bin/env bash
# Whole-run benchmark of kinrec: throughput and peak memory per input kind and size,
# and batches of many files, each case with all CPUs and on one CPU (taskset -c 0)
# side by side. Not a test: run it by hand.
#
#   bench/run-bench.sh [-n RUNS] [-s "100000 1000000 10000000"] [-o results.md]
#
# Builds a Release tree in build-bench/, writes generated recordings to a scratch
# folder (removed afterwards), runs each case RUNS times under /usr/bin/time -v and
# reports the median wall time and the median peak resident set size.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=5
sizes="100000 1000000 10000000"
out=""
while getopts "n:s:o:" opt; do
    case $opt in
    n) runs=$OPTARG ;;
    s) sizes=$OPTARG ;;
    o) out=$OPTARG ;;
    *) exit 2 ;;
    esac
done

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DKINREC_BUILD_BENCH=ON \
    -DKINREC_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench -j2 --target kinrec gen_recording >/dev/null
kinrec=$PWD/build-bench/kinrec
gen=$PWD/build-bench/bench/gen_recording
scratch=$(mktemp -d "${TMPDIR:-/tmp}/kinrec-bench-XXXXXX")
trap 'rm -rf "$scratch"' EXIT

median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

# time_case DIR CPUS ARGS...: prints "<median wall s> <median peak KiB>"; CPUS "all" or a
# taskset CPU list.
time_case() {
    local dir=$1 cpus=$2
    shift 2
    local walls=() peaks=() pin=()
    [ "$cpus" = all ] || pin=(taskset -c "$cpus")
    for _ in $(seq "$runs"); do
        (cd "$dir" && "${pin[@]}" /usr/bin/time -v "$kinrec" "$@" >/dev/null 2>"$scratch/time.txt")
        walls+=("$(awk -F': ' '/Elapsed \(wall clock\)/ {n = split($2, t, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + t[i]; print s}' "$scratch/time.txt")")
        peaks+=("$(awk -F': ' '/Maximum resident set size/ {print $2}' "$scratch/time.txt")")
    done
    echo "$(printf '%s\n' "${walls[@]}" | median) $(printf '%s\n' "${peaks[@]}" | median)"
}

# row LABEL SAMPLES BYTES DIR ARGS...: one line of the table, all CPUs beside one CPU.
row() {
    local label=$1 n=$2 bytes=$3 dir=$4
    shift 4
    local wall peak wall1 peak1
    read -r wall peak < <(time_case "$dir" all "$@")
    read -r wall1 peak1 < <(time_case "$dir" 0 "$@")
    awk -v l="$label" -v n="$n" -v w="$wall" -v w1="$wall1" -v b="$bytes" -v p="$peak" -v p1="$peak1" 'BEGIN {
        mb = b > 0 ? sprintf("%.1f", b / w / 1e6) : ""
        printf "| %s | %d | %.3f | %.3f | %.2fM | %.2fM | %.2f | %s | %.1f | %.1f |", l, n, w, w1, n / w / 1e6, n / w1 / 1e6, w1 / w, mb, p / 1024, p1 / 1024 }'
}

table="| input | samples | wall (s) | wall, 1 CPU (s) | samples/s | samples/s, 1 CPU | speed-up | input MB/s | peak RSS (MiB) | peak RSS, 1 CPU (MiB) |
|---|---|---|---|---|---|---|---|---|---|"
add() {
    table+=$'\n'"$1"
    echo "$1" >&2
}
for kind in counts physical hundreds dataset; do
    case $kind in
    counts) ft=1 ext=csv ;;
    physical) ft=2 ext=csv ;;
    hundreds) ft=3 ext=csv ;;
    dataset) ft=4 ext=bin ;;
    esac
    dir=$scratch/$kind
    mkdir -p "$dir"
    echo "FILETYPE $ft" >"$dir/kinrec.cnf"
    for n in $sizes; do
        file=rec_$n.$ext
        "$gen" "$kind" "$n" "$dir/$file"
        add "$(row "$kind" "$n" "$(stat -c %s "$dir/$file")" "$dir" "$file")"
        rm -f "$dir/$file" "$dir/rec_${n}_DSV.csv"
    done
done

batch=$scratch/batch
"$gen" tree "$batch" 200 20000
add "$(row "batch: 200 counts files of 20000 samples, -r" 4000000 "$(du -sb "$batch" | cut -f1)" "$batch" -r)"
rm -rf "$batch"

tree=$scratch/tree
"$gen" tree "$tree" 10000 100
add "$(row "batch: 10000 counts files of 100 samples, -r" 1000000 "$(du -sb "$tree" | cut -f1)" "$tree" -r)"

summary="Median of $runs runs on $(nproc) cores, $(date -u +%Y-%m-%d); 1 CPU: taskset -c 0."
printf '%s\n\n%s\n' "$table" "$summary"
if [ -n "$out" ]; then
    printf '%s\n\n%s\n' "$table" "$summary" >"$out"
fi
