#!/usr/bin/env bash
# Whole-run benchmark of kinrec: throughput and peak memory per input kind and size,
# and a batch of many small files. Not a test: run it by hand.
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

# time_case DIR ARGS...: prints "<median wall s> <median peak KiB>"
time_case() {
    local dir=$1
    shift
    local walls=() peaks=()
    for _ in $(seq "$runs"); do
        (cd "$dir" && /usr/bin/time -v "$kinrec" "$@" >/dev/null 2>"$scratch/time.txt")
        walls+=("$(awk -F': ' '/Elapsed \(wall clock\)/ {n = split($2, t, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + t[i]; print s}' "$scratch/time.txt")")
        peaks+=("$(awk -F': ' '/Maximum resident set size/ {print $2}' "$scratch/time.txt")")
    done
    echo "$(printf '%s\n' "${walls[@]}" | median) $(printf '%s\n' "${peaks[@]}" | median)"
}

table="| input | samples | wall (s) | samples/s | input MB/s | peak RSS (MiB) |
|---|---|---|---|---|---|"
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
        bytes=$(stat -c %s "$dir/$file")
        read -r wall peak < <(time_case "$dir" "$file")
        row=$(awk -v k="$kind" -v n="$n" -v w="$wall" -v b="$bytes" -v p="$peak" 'BEGIN {
            printf "| %s | %d | %.3f | %.2fM | %.1f | %.1f |", k, n, w, n / w / 1e6, b / w / 1e6, p / 1024 }')
        table+=$'\n'"$row"
        echo "$row" >&2
        rm -f "$dir/$file" "$dir/rec_${n}_DSV.csv"
    done
done

tree=$scratch/tree
"$gen" tree "$tree" 10000 100
read -r wall peak < <(time_case "$tree" -r)
row=$(awk -v w="$wall" -v p="$peak" 'BEGIN {
    printf "| batch: 10000 counts files of 100 samples, -r | 1000000 | %.3f | %.2fM | | %.1f |", w, 1e6 / w / 1e6, p / 1024 }')
table+=$'\n'"$row"
echo "$row" >&2

summary="Median of $runs runs on $(nproc) cores, $(date -u +%Y-%m-%d)."
printf '%s\n\n%s\n' "$table" "$summary"
if [ -n "$out" ]; then
    printf '%s\n\n%s\n' "$table" "$summary" >"$out"
fi
