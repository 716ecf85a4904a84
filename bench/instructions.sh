#!/usr/bin/env bash
# Instructions per sample of kinrec beside the lean yardstick (bench/lean_convert.cpp),
# which computes the same table with the least work around the same arithmetic. The
# counts come from callgrind, so they do not move with the machine's load; each is the
# difference between a 100000- and a 20000-sample recording over 80000, so start-up
# cancels. Times are CPU seconds (user + system) on a 1000000-sample recording, median
# of RUNS. Every table is compared with the yardstick's byte for byte. Not a test: run
# it by hand (needs valgrind).
#
#   bench/instructions.sh [-n RUNS] [-k KINREC]     (KINREC: another build's kinrec)
set -euo pipefail
cd "$(dirname "$0")/.."

runs=3
kinrec=""
while getopts "n:k:" opt; do
    case $opt in
    n) runs=$OPTARG ;;
    k) kinrec=$(realpath "$OPTARG") ;;
    *) exit 2 ;;
    esac
done

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DKINREC_BUILD_BENCH=ON \
    -DKINREC_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench -j1 --target kinrec gen_recording lean_convert >/dev/null
kinrec=${kinrec:-$PWD/build-bench/kinrec}
lean=$PWD/build-bench/bench/lean_convert
gen=$PWD/build-bench/bench/gen_recording
scratch=$(mktemp -d "${TMPDIR:-/tmp}/kinrec-instr-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" # no kinrec.cnf here: the default settings

median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

# instructions PROGRAM IN OUT: the program's instructions, all of them.
instructions() {
    valgrind --tool=callgrind --callgrind-out-file=cg.out "$@" >/dev/null 2>cg.err
    awk '/^(summary|totals):/ {print $2; exit}' cg.out
}

# cpu PROGRAM IN OUT: median CPU seconds.
cpu() {
    for _ in $(seq "$runs"); do
        /usr/bin/time -f "%U %S" -o time.txt "$@" >/dev/null
        awk '{print $1 + $2}' time.txt
    done | median
}

same() {
    cmp -s "$1" "$2" || {
        echo "tables differ: $1 $2" >&2
        exit 1
    }
}

echo "| counts | kinrec (instructions/sample) | lean | kinrec/lean | kinrec, 1M (CPU s) | lean, 1M (CPU s) |"
echo "|---|---|---|---|---|---|"
for kind in motion random; do
    extra=()
    [ "$kind" = random ] && extra=(1 random)
    for n in 20000 100000 1000000; do
        "$gen" counts "$n" "rec_$n.csv" "${extra[@]}"
    done
    k20=$(instructions "$kinrec" rec_20000.csv k20.csv)
    k100=$(instructions "$kinrec" rec_100000.csv k100.csv)
    l20=$(instructions "$lean" rec_20000.csv l20.csv)
    l100=$(instructions "$lean" rec_100000.csv l100.csv)
    same k20.csv l20.csv
    same k100.csv l100.csv
    kt=$(cpu "$kinrec" rec_1000000.csv k1m.csv)
    lt=$(cpu "$lean" rec_1000000.csv l1m.csv)
    same k1m.csv l1m.csv
    awk -v kind="$kind" -v k20="$k20" -v k100="$k100" -v l20="$l20" -v l100="$l100" \
        -v kt="$kt" -v lt="$lt" 'BEGIN {
        k = (k100 - k20) / 80000; l = (l100 - l20) / 80000
        printf "| %s | %.0f | %.0f | %.3f | %.2f | %.2f |\n", kind, k, l, k / l, kt, lt }'
    rm -f ./*.csv
done
echo
echo "callgrind $(valgrind --version | sed 's/valgrind-//'); CPU: median of $runs runs, $(date -u +%Y-%m-%d)."
