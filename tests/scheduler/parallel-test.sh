#!/usr/bin/env bash
# Runs the documented GNU parallel recipe, eight shares on one machine, and checks that
# their tables are byte for byte those of one `kinrec -r`.
#
#   tests/scheduler/parallel-test.sh <kinrec> <gen_recording>
#
# Exit 0 passed, 1 failed, 77 skipped (no GNU parallel: Debian package parallel).
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source-path=SCRIPTDIR source=common.sh
. "$here/common.sh"

if [ $# -ne 2 ]; then
    echo "usage: $0 <kinrec> <gen_recording>" >&2
    exit 2
fi
kinrec=$(absolute "$1")
gen=$(absolute "$2")
parallel --version 2>/dev/null | grep -q 'GNU parallel' ||
    skip "no GNU parallel (Debian package parallel)"

tmp=$(mktemp -d "${TMPDIR:-/tmp}/kinrec-parallel.XXXXXX") || exit 1
trap 'rm -rf "$tmp"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

work=$tmp/work
make_tree "$work/tree" "$gen" || exit 1
cp -R "$work/tree" "$work/reference" && cp -R "$work/tree" "$work/parallel copy" || exit 1
run_reference "$kinrec" "$work/reference" || exit 1

# The recipe as users type it, with the kinrec under test first on PATH.
mkdir "$tmp/bin" && ln -s "$kinrec" "$tmp/bin/kinrec" || exit 1
(
    cd "$work/parallel copy" || exit 1
    export PATH="$tmp/bin:$PATH"
    # shellcheck disable=SC2046 # one argument per share
    timeout 90 parallel kinrec --shard {}/8 -r ::: $(seq 8)
) >"$tmp/shares.out" 2>"$tmp/shares.err"
status=$?

bad=0
# parallel's status is the number of failed jobs: the one share with legs/sole.csv.
if [ "$status" != 1 ]; then
    echo "FAIL: parallel exited $status, not 1 for the one share whose conversion failed"
    bad=1
fi
same_tables "$work/reference" "$work/parallel copy" || bad=1
kept_plan "$work/parallel copy" 8 || bad=1
same_lines converted "$work/reference.out" "$tmp/shares.out" || bad=1
same_lines failed "$work/reference.err" "$tmp/shares.err" || bad=1
if [ $bad != 0 ]; then
    echo "--- standard error of parallel"
    tail -n 20 "$tmp/shares.err"
    exit 1
fi
echo "PASS: eight shares under GNU parallel wrote the tables and lines of one kinrec -r"
