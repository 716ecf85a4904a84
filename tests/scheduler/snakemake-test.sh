#!/usr/bin/env bash
# Runs tools/kinrec.smk, four shares under snakemake, and checks that their tables are
# byte for byte those of one `kinrec -r`; then that a second run after the failure is
# mended reruns the failed share only and leaves the tree as one `kinrec -r` would.
#
#   tests/scheduler/snakemake-test.sh <kinrec> <gen_recording>
#
# Exit 0 passed, 1 failed, 77 skipped (no snakemake: Debian package snakemake).
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source-path=SCRIPTDIR source=common.sh
. "$here/common.sh"
workflow=$here/../../tools/kinrec.smk

if [ $# -ne 2 ]; then
    echo "usage: $0 <kinrec> <gen_recording>" >&2
    exit 2
fi
kinrec=$(absolute "$1")
gen=$(absolute "$2")
command -v snakemake >/dev/null || skip "no snakemake (Debian package snakemake)"

tmp=$(mktemp -d "${TMPDIR:-/tmp}/kinrec-snakemake.XXXXXX") || exit 1
trap 'rm -rf "$tmp"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

work=$tmp/work
make_tree "$work/tree" "$gen" || exit 1
for copy in reference "sm copy" stub; do cp -R "$work/tree" "$work/$copy" || exit 1; done
run_reference "$kinrec" "$work/reference" || exit 1

# smk NAME DIR CONFIG...: the workflow as documented, started in $tmp, where kinrec is
# bin/kinrec: only a path resolved from there finds it. Sets status.
mkdir "$tmp/bin" && ln -s "$kinrec" "$tmp/bin/kinrec" || exit 1
smk() {
    local name=$1 dir=$2
    shift 2
    (cd "$tmp" && timeout 120 snakemake -s "$workflow" --cores 2 --keep-going -d "$dir" \
        --config "$@") >"$tmp/$name.out" 2>"$tmp/$name.err"
    status=$?
}

bad=0
# records DIR: snakemake's folder in DIR holds no name kinrec's walk would read; it is
# then moved away, for the comparison with one kinrec -r.
records() {
    local found
    found=$(cd "$1" && find .snakemake \( -name '*.csv' -o -name '*.bin' \) -print)
    if [ -n "$found" ]; then
        echo "FAIL: snakemake left names in '$1' that kinrec reads as inputs:"
        echo "$found"
        bad=1
    fi
    rm -rf "$1/.snakemake"
}

smk first "work/sm copy" kinrec=bin/kinrec shares=4
# snakemake's status is 1 when a job failed: the share with legs/sole.csv.
if [ "$status" != 1 ]; then
    echo "FAIL: snakemake exited $status, not 1 for the share whose conversion failed"
    tail -n 20 "$tmp/first.err"
    bad=1
fi
marks=$(cd "$work/sm copy/.snakemake/kinrec" 2>/dev/null && ls)
if [ "$marks" != "$(printf 'share-%d-of-4.done\n' 2 3 4)" ]; then
    echo "FAIL: the workflow's records are not those of shares 2-4 of 4:"
    echo "$marks"
    bad=1
fi
cp -R "$work/sm copy/.snakemake" "$tmp/records" || exit 1
records "$work/sm copy"
same_tables "$work/reference" "$work/sm copy" || bad=1
kept_plan "$work/sm copy" 4 || bad=1
same_lines converted "$work/reference.out" "$tmp/first.out" || bad=1
same_lines failed "$work/reference.err" "$tmp/first.err" || bad=1

# The notes are moved away and the line run again: share 1 alone reruns with the kept
# plan, the last share removes it, and the workflow its records.
for dir in "$work/reference" "$work/sm copy"; do rm "$dir/legs/sole_DSV.csv" || exit 1; done
rm -rf "$work/reference"/*_DSV.csv "$work/reference"/*/*_DSV.csv "$work/reference"/*/*/*_DSV.csv
(cd "$work/reference" && "$kinrec" -r) >"$work/again.out" 2>&1 || {
    echo "FAIL: one kinrec -r without the notes failed:"
    cat "$work/again.out"
    exit 1
}
mv "$tmp/records" "$work/sm copy/.snakemake" || exit 1
smk again "work/sm copy" kinrec=bin/kinrec shares=4
if [ "$status" != 0 ]; then
    echo "FAIL: the second run exited $status, not 0"
    tail -n 20 "$tmp/again.err"
    bad=1
fi
if [ "$(grep -c -e 'wildcards: k=' "$tmp/again.err")" != 1 ] ||
    ! grep -q -e 'wildcards: k=1$' "$tmp/again.err"; then
    echo "FAIL: the second run did not run share 1 alone:"
    grep -e 'wildcards: k=' "$tmp/again.err"
    bad=1
fi
if [ -e "$work/sm copy/.snakemake/kinrec" ]; then
    echo "FAIL: the workflow's records are still there after all shares succeeded"
    bad=1
fi
records "$work/sm copy"
same_tables "$work/reference" "$work/sm copy" || bad=1
if [ -n "$(cd "$work/sm copy" && find . -maxdepth 1 -name 'kinrec.plan*' ! -name kinrec.plan.finished)" ]; then
    echo "FAIL: the plan is still there after all shares succeeded"
    bad=1
fi

# What the workflow hands kinrec, through a stand-in that notes its arguments.
printf '#!/bin/sh\necho "$*" >>"%s"\n' "$tmp/stub.args" >"$tmp/bin/stub"
chmod +x "$tmp/bin/stub"
smk stub "work/stub" kinrec=bin/stub shares=2 alone=1 "selector=s*.csv"
want="--alone --shard 1/2 -r s*.csv
--alone --shard 2/2 -r s*.csv"
if [ "$status" != 0 ] || [ "$(LC_ALL=C sort "$tmp/stub.args")" != "$want" ]; then
    echo "FAIL: with alone=1 and a selector, the workflow (status $status) ran:"
    cat "$tmp/stub.args"
    bad=1
fi

# Refusals, before any job runs.
for run in "shares=0|shares=0: give the number of shares" \
    "shares=two|shares=two: give the number of shares" \
    "alone=yes shares=2|alone=yes: give alone=1" \
    "kinrec=nope/kinrec shares=2|kinrec=nope/kinrec is not an executable file"; do
    IFS='|' read -r config want <<<"$run"
    # shellcheck disable=SC2086 # one word per setting
    smk refused "work/stub" kinrec=bin/stub $config
    if [ "$status" = 0 ] || ! grep -qF -e "$want" "$tmp/refused.err"; then
        echo "FAIL: --config $config: status $status, and no '$want' in:"
        tail -n 5 "$tmp/refused.err"
        bad=1
    fi
done

if [ $bad != 0 ]; then
    exit 1
fi
echo "PASS: four shares under snakemake wrote the tables and lines of one kinrec -r, and a rerun mended the failed share"
