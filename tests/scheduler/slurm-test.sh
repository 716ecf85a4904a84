#!/usr/bin/env bash
# Runs tools/kinrec-array.sbatch on a real one-node SLURM cluster and checks that the
# tables of its four array tasks are byte for byte those of one `kinrec -r`.
#
#   tests/scheduler/slurm-test.sh <kinrec> <gen_recording>
#
# munged, slurmctld and slurmd run as root from the Debian packages (munge, slurmctld,
# slurmd, slurm-client), started directly (no systemd), with their key, sockets,
# configuration, state, spool and logs in one temporary directory that is removed at
# the end; the daemons talk over 127.0.0.1 only. Exit 0 passed, 1 failed, 77 skipped
# (not root, a package missing, or a daemon that does not come up here).
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source-path=SCRIPTDIR source=common.sh
. "$here/common.sh"
script=$here/../../tools/kinrec-array.sbatch

if [ $# -ne 2 ]; then
    echo "usage: $0 <kinrec> <gen_recording>" >&2
    exit 2
fi
kinrec=$(absolute "$1")
gen=$(absolute "$2")

[ "$(id -u)" = 0 ] || skip "not root: munged and slurmd run as root here"
PATH=$PATH:/usr/sbin:/sbin
for cmd in munged munge unmunge slurmctld slurmd sbatch sinfo scontrol squeue scancel; do
    command -v "$cmd" >/dev/null ||
        skip "no $cmd (Debian packages: munge slurmctld slurmd slurm-client)"
done

tmp=$(mktemp -d "${TMPDIR:-/tmp}/kinrec-slurm.XXXXXX") || exit 1
daemons=() waiting=()
cleanup() {
    local pid i
    for pid in "${waiting[@]}"; do kill "$pid" 2>/dev/null; done
    # Job ids from the "Submitted batch job N" lines, in case a wait timed out.
    for f in "$tmp"/sbatch-*.txt; do
        [ -f "$f" ] && scancel "$(awk '{print $NF}' "$f")" 2>/dev/null
    done
    for ((i = ${#daemons[@]} - 1; i >= 0; i--)); do
        pid=${daemons[i]}
        kill "$pid" 2>/dev/null || continue
        for _ in $(seq 50); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

# up NAME COMMAND...: waits until COMMAND succeeds, for 30 s at most and while the
# daemon started last runs; else skips, giving the end of the daemon's log and console
# ($tmp/log/NAME.log, NAME.console: a fatal error before the log opens goes there).
up() {
    local name=$1 end=$((SECONDS + 30))
    shift
    until "$@" >/dev/null 2>&1; do
        local why="exited"
        kill -0 "${daemons[-1]}" 2>/dev/null && why="was not up within 30 s"
        if [ "$why" = exited ] || [ "$SECONDS" -ge "$end" ]; then
            tail -n 20 "$tmp/log/$name.log" "$tmp/log/$name.console" 2>/dev/null
            skip "$name $why here (see its log above)"
        fi
        sleep 0.2
    done
}

# MUNGE, on its own socket.
m=$tmp/munge
mkdir -m 700 "$m" "$tmp/log" "$tmp/state" "$tmp/spool" "$tmp/out" || exit 1
dd if=/dev/urandom of="$m/munge.key" bs=1024 count=1 2>/dev/null && chmod 400 "$m/munge.key"
munged --foreground --force --key-file="$m/munge.key" --socket="$m/socket" \
    --pid-file="$m/munged.pid" --log-file="$tmp/log/munged.log" --seed-file="$m/seed" \
    >"$tmp/log/munged.console" 2>&1 &
daemons+=($!)
munge_works() { munge -n -S "$m/socket" | unmunge -S "$m/socket"; }
up munged munge_works

# SLURM, configured for this machine as slurmd sees it. Up to four jobs share a core, so
# that all eight array tasks run at once, in the same trees, even on two CPUs.
host=$(hostname -s)
node=$(slurmd -C 2>/dev/null | head -n 1)
case $node in "NodeName=$host "*) ;; *) skip "slurmd -C does not describe $host: $node" ;; esac
port=$((10000 + $$ % 10000 * 2)) # two free ports below the ephemeral ones, most likely
export SLURM_CONF=$tmp/slurm.conf
: >"$tmp/plugstack.conf"
cat >"$SLURM_CONF" <<EOF
ClusterName=kinrectest
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$port
SlurmdPort=$((port + 1))
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$m/socket
StateSaveLocation=$tmp/state
SlurmdSpoolDir=$tmp/spool
SlurmctldPidFile=$tmp/slurmctld.pid
SlurmdPidFile=$tmp/slurmd.pid
SlurmctldLogFile=$tmp/log/slurmctld.log
SlurmdLogFile=$tmp/log/slurmd.log
PlugStackConfig=$tmp/plugstack.conf
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
MpiDefault=none
ReturnToService=2
$node NodeAddr=127.0.0.1 State=UNKNOWN
PartitionName=test Nodes=$host Default=YES MaxTime=INFINITE State=UP OverSubscribe=FORCE:4
EOF
slurmctld -D >"$tmp/log/slurmctld.console" 2>&1 &
daemons+=($!)
up slurmctld scontrol ping
slurmd -D >"$tmp/log/slurmd.console" 2>&1 &
daemons+=($!)
node_idle() { [ "$(sinfo -h -n "$host" -o %T)" = idle ]; }
up slurmd node_idle

# The trees: one kinrec -r, and the array over a copy whose name has a space (the
# script's cd must quote it); the same with a selector.
work=$tmp/work
make_tree "$work/tree" "$gen" || exit 1
for copy in reference "array copy" reference-sel "array copy-sel"; do
    cp -R "$work/tree" "$work/$copy" || exit 1
done
run_reference "$kinrec" "$work/reference" || exit 1
run_reference "$kinrec" "$work/reference-sel" 's*' || exit 1

# submit NAME TREE [selector]: four array tasks over TREE in the background, started
# from $tmp so that only the script's cd leads into the tree; their console lines in
# $tmp/out/NAME-K.out and .err. --cpus-per-task: the node may have fewer CPUs than the
# script asks for.
submit() {
    local name=$1
    shift
    KINREC=$kinrec timeout 90 sbatch --wait --array=1-4 --cpus-per-task=1 --chdir="$tmp" \
        --output="$tmp/out/$name-%a.out" --error="$tmp/out/$name-%a.err" \
        "$script" "$@" >"$tmp/sbatch-$name.txt" 2>&1 &
    waiting+=($!)
}
start=$SECONDS
submit all "$work/array copy"
submit sel "$work/array copy-sel" 's*'
wait "${waiting[0]}"
all_status=$?
wait "${waiting[1]}"
sel_status=$?
waiting=()
echo "the two arrays took $((SECONDS - start)) s"

bad=0
for run in "all $all_status reference" "sel $sel_status reference-sel"; do
    read -r name status ref <<<"$run"
    if [ "$status" = 124 ]; then
        echo "FAIL: the array $name did not finish within 90 s"
        squeue
        tail -n 20 "$tmp/log/slurmctld.log" "$tmp/log/slurmd.log"
        exit 1
    fi
    if [ "$status" != "$ref_status" ]; then
        echo "FAIL: sbatch --wait for the array $name exited $status, one kinrec -r $ref_status"
        cat "$tmp/sbatch-$name.txt"
        bad=1
    fi
    copy="array copy"
    [ "$name" = all ] || copy="array copy-sel"
    same_tables "$work/$ref" "$work/$copy" || bad=1
    kept_plan "$work/$copy" 4 || bad=1
    same_lines converted "$work/$ref.out" "$tmp/out/$name"-{1,2,3,4}.out || bad=1
    same_lines failed "$work/$ref.err" "$tmp/out/$name"-{1,2,3,4}.err || bad=1
done
# The documented line as typed in the repository's top folder after the quick start: a
# folder with tools/kinrec-array.sbatch and build/kinrec, no kinrec on PATH, no --wait,
# no --output; sixteen tasks with the script's own resources (two CPUs each).
doc_line=$(awk '/^```/ {f = !f; next} f && /^KINREC=build\/kinrec sbatch --array=1-16 /' \
    "$here/../../docs/many-machines.md")
if [ -z "$doc_line" ] || [ "$(printf '%s\n' "$doc_line" | wc -l)" != 1 ]; then
    echo "FAIL: docs/many-machines.md has no single 'KINREC=build/kinrec sbatch --array=1-16' line"
    bad=1
elif [[ $node != *" CPUs="[2-9]* && $node != *" CPUs="[1-9][0-9]* ]]; then
    echo "the documented line needs two CPUs a task; this node has fewer: not run"
else
    checkout=$tmp/checkout
    mkdir -p "$checkout/tools" "$checkout/build" "$work/doc" &&
        cp "$script" "$checkout/tools/" && cp "$kinrec" "$checkout/build/kinrec" &&
        cp -R "$work/tree/." "$work/doc/" || exit 1
    job_path=$(dirname "$(command -v sbatch)"):/usr/bin:/bin
    (cd "$checkout" && env -u KINREC PATH="$job_path" sh -c "${doc_line//\/path\/to\/tree/$work/doc}") \
        >"$tmp/sbatch-doc.txt" 2>&1
    job=$(awk '/^Submitted batch job/ {print $NF}' "$tmp/sbatch-doc.txt")
    end=$((SECONDS + 120))
    while [ -n "$job" ] && squeue -h -j "$job" -o %i 2>/dev/null | grep -q . &&
        [ $SECONDS -lt $end ]; do
        sleep 0.5
    done
    logs=()
    for k in $(seq 16); do logs+=("$checkout/kinrec-${job}_$k.out"); done
    if [ -z "$job" ] || [ $SECONDS -ge $end ]; then
        echo "FAIL: the documented line did not run to its end within 120 s:"
        cat "$tmp/sbatch-doc.txt"
        squeue
        bad=1
    elif ! ls "${logs[@]}" >/dev/null; then
        echo "FAIL: the sixteen tasks' logs are not kinrec-<job>_<task>.out in the submit folder:"
        ls "$checkout"
        bad=1
    else
        same_tables "$work/reference" "$work/doc" || bad=1
        kept_plan "$work/doc" 16 || bad=1
        same_lines converted "$work/reference.out" "${logs[@]}" || bad=1
        same_lines failed "$work/reference.err" "${logs[@]}" || bad=1
    fi
fi

if [ $bad != 0 ]; then
    echo "--- the shares' standard error"
    tail -n 5 "$tmp/out"/*.err
    exit 1
fi
echo "PASS: SLURM array tasks wrote the tables and lines of one kinrec -r (four with and without a selector, sixteen from the documented line)"
