#!/bin/sh
# Runs tools/kinrec-array.sbatch with the variables each scheduler gives an array task,
# with a stand-in kinrec that prints where it runs and its arguments, and checks the
# kinrec command line the script builds, or its refusal.
#
#   tests/scheduler/array-env-test.sh
#
# Needs only sh. Exit 0 passed, 1 failed.
here=$(cd "$(dirname "$0")" && pwd)
script=$here/../../tools/kinrec-array.sbatch

tmp=$(mktemp -d "${TMPDIR:-/tmp}/kinrec-array-env.XXXXXX") || exit 1
trap 'rm -rf "$tmp"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

# The job starts in $tmp/start (SLURM: the submit directory) or is submitted from
# $tmp/submit (the others). Each holds a bin/kinrec that says which it is, so that a
# relative KINREC taken from the wrong one shows; $tmp/any/kinrec is the usual one.
S=$tmp/submit
T="$S/the tree"
mkdir -p "$tmp/start/bin" "$S/bin" "$T" "$tmp/any" "$S/out" || exit 1
for tag in start submit any; do
    dir=$tmp/$tag/bin
    [ "$tag" = any ] && dir=$tmp/any
    printf '#!/bin/sh\nprintf "%%s %%s" %s "$PWD"\nprintf " <%%s>" "$@"\necho\n' "$tag" \
        >"$dir/kinrec" && chmod +x "$dir/kinrec" || exit 1
done

failed=0 count=0
# check NAME STATUS WANT [VAR=VALUE...] -- [ARG...]: the script, run in $tmp/start with
# only PATH, HOME, KINREC=$tmp/any/kinrec and the VARs, exits STATUS; with 0 its standard
# output is WANT and its standard error empty, else its standard error holds WANT and
# nothing ran. In WANT, @S stands for $tmp/submit and @T for the tree in it.
check() {
    name=$1 status=$2 want=$3
    shift 3
    vars=''
    while [ "$1" != -- ]; do
        vars="$vars $1"
        shift
    done
    shift
    count=$((count + 1))
    # shellcheck disable=SC2086 # one word per VAR=VALUE
    (cd "$tmp/start" && env -i PATH=/usr/bin:/bin HOME="$tmp/start" KINREC="$tmp/any/kinrec" \
        $vars sh "$script" "$@") >"$tmp/out" 2>"$tmp/err"
    got=$?
    want=$(printf '%s\n' "$want" | sed -e "s|@T|$T|g" -e "s|@S|$S|g")
    if [ "$got" != "$status" ]; then
        echo "FAIL: $name: exit status $got, not $status"
    elif [ "$status" = 0 ] && [ "$(cat "$tmp/out")" != "$want" ]; then
        echo "FAIL: $name: ran  $(cat "$tmp/out")"
        echo "      not  $want"
    elif [ "$status" = 0 ] && [ -s "$tmp/err" ]; then
        echo "FAIL: $name: wrote to standard error"
    elif [ "$status" != 0 ] && { [ -s "$tmp/out" ] || ! grep -qF -e "$want" "$tmp/err"; }; then
        echo "FAIL: $name: no '$want' on standard error, or kinrec ran"
    else
        return 0
    fi
    sed 's/^/      stderr: /' "$tmp/err"
    failed=$((failed + 1))
}

slurm4='SLURM_ARRAY_TASK_COUNT=4 SLURM_ARRAY_TASK_MIN=1 SLURM_ARRAY_TASK_MAX=4'
sge3='SGE_TASK_FIRST=1 SGE_TASK_LAST=3 SGE_TASK_STEPSIZE=1'
# shellcheck disable=SC2086 # $slurm4, $sge3: one word per variable
{
#     case                              status  kinrec's directory and arguments, or the refusal
#                                               environment -- arguments
check 'SLURM: share and count'          0 'any @T <--shard> <3/4> <-r>' \
    SLURM_ARRAY_TASK_ID=3 $slurm4 -- "$T"
check 'SLURM: selector'                 0 'any @T <--shard> <1/4> <-r> <*.bin>' \
    SLURM_ARRAY_TASK_ID=1 $slurm4 -- "$T" '*.bin'
check 'SLURM: tree is the submit dir'   0 'any @S <--shard> <4/4> <-r>' \
    SLURM_ARRAY_TASK_ID=4 $slurm4 SLURM_SUBMIT_DIR="$S" --
check 'SLURM: KINREC from where it starts' 0 'start @T <--shard> <2/4> <-r>' \
    SLURM_ARRAY_TASK_ID=2 $slurm4 KINREC=bin/kinrec -- "$T"
check 'SLURM: KINREC_SHARDS wins'       0 'any @T <--shard> <5/16> <-r>' \
    SLURM_ARRAY_TASK_ID=5 SLURM_ARRAY_TASK_COUNT=1 SLURM_ARRAY_TASK_MIN=5 \
    SLURM_ARRAY_TASK_MAX=5 KINREC_SHARDS=16 -- "$T"
check 'SLURM: array from 0'             1 'the array is 0-7 of 8 tasks; submit --array=1-N' \
    SLURM_ARRAY_TASK_ID=0 SLURM_ARRAY_TASK_COUNT=8 SLURM_ARRAY_TASK_MIN=0 \
    SLURM_ARRAY_TASK_MAX=7 -- "$T"
check 'SLURM: not an array'             1 'not an array task; submit it with: sbatch --array=1-N' \
    SLURM_JOB_ID=7 -- "$T"
check 'PBS Pro: relative tree, KINREC'  0 'submit @T <--shard> <2/3> <-r>' \
    PBS_ARRAY_INDEX=2 KINREC_SHARDS=3 PBS_JOBID=9 PBS_O_WORKDIR="$S" KINREC=bin/kinrec \
    -- 'the tree'
check 'PBS Pro: tree is the submit dir' 0 'any @S <--shard> <3/3> <-r>' \
    PBS_ARRAY_INDEX=3 KINREC_SHARDS=3 PBS_O_WORKDIR="$S" --
check 'PBS Pro: no count'               1 'PBS Pro does not tell an array task the number of tasks; give it KINREC_SHARDS=N for an array of 1-N: qsub -J 1-N -v KINREC_SHARDS=N' \
    PBS_ARRAY_INDEX=2 PBS_O_WORKDIR="$S" -- "$T"
check 'PBS: not an array'               1 'not an array task; submit it with: qsub -J 1-N' \
    PBS_JOBID=9.server PBS_O_WORKDIR="$S" -- "$T"
check 'Torque: share'                   0 'submit @T <--shard> <1/2> <-r>' \
    PBS_ARRAYID=1 KINREC_SHARDS=2 PBS_O_WORKDIR="$S" KINREC=bin/kinrec -- "$T"
check 'Torque: no count'                1 'Torque does not tell an array task the number of tasks; give it KINREC_SHARDS=N for an array of 1-N: qsub -t 1-N' \
    PBS_ARRAYID=1 PBS_O_WORKDIR="$S" -- "$T"
check 'SGE: share and count'            0 'submit @T <--shard> <2/3> <-r>' \
    SGE_TASK_ID=2 $sge3 SGE_O_WORKDIR="$S" KINREC=bin/kinrec -- 'the tree'
check 'SGE: count from KINREC_SHARDS'   0 'any @T <--shard> <2/3> <-r>' \
    SGE_TASK_ID=2 KINREC_SHARDS=3 -- "$T"
check 'SGE: array from 2'               1 'the array is 2-4:1; submit -t 1-N' \
    SGE_TASK_ID=2 SGE_TASK_FIRST=2 SGE_TASK_LAST=4 SGE_TASK_STEPSIZE=1 -- "$T"
check 'SGE: step 2'                     1 'the array is 1-7:2; submit -t 1-N' \
    SGE_TASK_ID=3 SGE_TASK_FIRST=1 SGE_TASK_LAST=7 SGE_TASK_STEPSIZE=2 -- "$T"
check 'SGE: not an array'               1 'not an array task; submit it with: qsub -t 1-N' \
    SGE_TASK_ID=undefined SGE_TASK_FIRST=undefined SGE_TASK_LAST=undefined \
    SGE_TASK_STEPSIZE=undefined KINREC_SHARDS=3 -- "$T"
check 'LSF: share'                      0 'submit @T <--shard> <4/4> <-r>' \
    LSB_JOBINDEX=4 KINREC_SHARDS=4 LS_SUBCWD="$S" KINREC=bin/kinrec -- "$T"
check 'LSF: no count'                   1 "LSF does not tell an array task the number of tasks; give it KINREC_SHARDS=N for an array of 1-N: bsub -J 'kinrec[1-N]'" \
    LSB_JOBINDEX=2 -- "$T"
check 'LSF: not an array'               1 "not an array task; submit it with: bsub -J 'kinrec[1-N]'" \
    LSB_JOBINDEX=0 LSB_JOBID=12 KINREC_SHARDS=4 -- "$T"
check 'no scheduler'                    1 'not an array task; submit it with: sbatch --array=1-N' \
    KINREC_SHARDS=4 -- "$T"
check 'share beyond the count'          1 'share 5 is not within 1-4' \
    SGE_TASK_ID=5 KINREC_SHARDS=4 -- "$T"
check 'no shares'                       1 'share 1 is not within 1-0' \
    LSB_JOBINDEX=1 KINREC_SHARDS=0 -- "$T"
check 'share id not a number'           1 "the array task id '2x' is not a whole number" \
    PBS_ARRAY_INDEX=2x KINREC_SHARDS=3 -- "$T"
check 'count not a number'              1 "the count of shares '3.0' is not a whole number" \
    PBS_ARRAY_INDEX=2 KINREC_SHARDS=3.0 -- "$T"
check 'SLURM count not a number'        1 "the count of shares '' is not a whole number" \
    SLURM_ARRAY_TASK_ID=1 SLURM_ARRAY_TASK_MIN=1 SLURM_ARRAY_TASK_MAX= -- "$T"
check 'KINREC_ALONE=1'                  0 'any @T <--alone> <--shard> <2/3> <-r>' \
    SGE_TASK_ID=2 $sge3 KINREC_ALONE=1 -- "$T"
check 'KINREC_ALONE=0'                  0 'any @T <--shard> <2/3> <-r>' \
    SGE_TASK_ID=2 $sge3 KINREC_ALONE=0 -- "$T"
check 'KINREC_ALONE=yes'                1 'KINREC_ALONE=yes: set it to 1' \
    SGE_TASK_ID=2 $sge3 KINREC_ALONE=yes -- "$T"
check 'KINREC_SUMMARY from the submit dir' 0 'any @T <--shard> <2/3> <--summary> <@S/out/sum-2.csv> <-r>' \
    PBS_ARRAYID=2 KINREC_SHARDS=3 PBS_O_WORKDIR="$S" KINREC_SUMMARY=out/sum -- 'the tree'
check 'KINREC_SUMMARY from where SLURM starts' 0 'any @T <--shard> <4/4> <--summary> <'"$tmp"'/start/s-4.csv> <-r>' \
    SLURM_ARRAY_TASK_ID=4 $slurm4 KINREC_SUMMARY=s -- "$T"
check 'everything at once'              0 'any @T <--alone> <--shard> <3/3> <--summary> </sums/b-3.csv> <-r> <s*>' \
    LSB_JOBINDEX=3 KINREC_SHARDS=3 KINREC_ALONE=1 KINREC_SUMMARY=/sums/b -- "$T" 's*'
check 'no such KINREC'                  1 'KINREC=nope/kinrec: '"$S"'/nope/kinrec is not an executable file' \
    PBS_ARRAY_INDEX=1 KINREC_SHARDS=3 PBS_O_WORKDIR="$S" KINREC=nope/kinrec -- "$T"
check 'no submit directory'             1 "cannot enter the submit directory '$tmp/gone'" \
    SGE_TASK_ID=1 $sge3 SGE_O_WORKDIR="$tmp/gone" -- "$T"
check 'no tree'                         1 "cannot enter the tree 'absent'" \
    SGE_TASK_ID=1 $sge3 SGE_O_WORKDIR="$S" -- absent
}

if [ "$failed" != 0 ]; then
    echo "FAIL: $failed of $count cases"
    exit 1
fi
echo "PASS: $count cases of scheduler variables gave the kinrec line or the refusal they should"
