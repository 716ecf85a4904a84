# shellcheck shell=bash
# Sourced by slurm-test.sh and parallel-test.sh: the tree of recordings they convert and
# the comparison of a sharded run with one `kinrec -r`.

skip() {
    echo "SKIP: $*"
    exit 77
}

# The absolute name of a file.
absolute() {
    case $1 in
    /*) printf '%s\n' "$1" ;;
    *) printf '%s/%s\n' "$(pwd)" "$1" ;;
    esac
}

# make_tree DIR GEN: twelve recordings in nested folders: ten of mixed kinds and sizes
# made by GEN (`gen_recording KIND SAMPLES FILE SEED`), an empty one, a malformed one.
# The table of legs/sole.csv cannot be written: legs/sole_DSV.csv is somebody's notes,
# which kinrec does not overwrite. That file comes early in the walk, while the gyro
# bias count still carries from file to file. The selector 's*' matches six
# recordings in three folders, legs/sole.csv among them.
make_tree() {
    local dir=$1 gen=$2 kind samples path seed=0
    mkdir -p "$dir/legs/sub" "$dir/torso" "$dir/wrist" || return 1
    while read -r kind samples path; do
        seed=$((seed + 1))
        "$gen" "$kind" "$samples" "$dir/$path" "$seed" || return 1
    done <<'EOF'
counts 3000 a_head.csv
counts 2500 legs/knee.csv
counts 1500 legs/sole.csv
dataset 4000 legs/shin.bin
hundreds 1200 legs/sub/deep.csv
counts 6000 torso/s_chest.csv
counts 800 torso/s_waist.csv
counts 2000 wrist/s_left.csv
physical 3000 wrist/s_right.csv
counts 300 wrist/z.csv
EOF
    : >"$dir/m_empty.csv"
    printf 'time_ms,ax,ay,az,gx,gy,gz\n0,1,2\nx,y\n20,100,-200,8192,5,6,7\n40,,,,,,\n' \
        >"$dir/torso/broken.csv"
    printf 'notes, not a table\n' >"$dir/legs/sole_DSV.csv"
}

# same_tables REF DIR: DIR holds the same files as REF, and every table byte for byte
# (the shares' plan aside: see kept_plan).
same_tables() {
    local ref=$1 dir=$2 f bad=0
    if ! diff <(cd "$ref" && find . -type f | LC_ALL=C sort) \
        <(cd "$dir" && find . -type f ! -path './kinrec.plan*' | LC_ALL=C sort) \
        >"$dir.files.diff"; then
        echo "FAIL: the files of '$dir' (>) differ from those of one kinrec -r (<):"
        cat "$dir.files.diff"
        bad=1
    fi
    while IFS= read -r f; do
        if [ -f "$dir/$f" ] && ! cmp -s "$ref/$f" "$dir/$f"; then
            echo "FAIL: ${dir##*/}: $f differs from the table of one kinrec -r"
            bad=1
        fi
    done < <(cd "$ref" && find . -name '*_DSV.csv' | LC_ALL=C sort)
    return $bad
}

# same_lines WHAT REF OUT...: the lines of the files OUT... that are `<input> -> <table>`
# lines (WHAT=converted) or per-file failures on standard error (WHAT=failed), taken
# together, are those of REF, each as often.
same_lines() {
    local what=$1 ref=$2
    shift 2
    pick() {
        if [ "$what" = converted ]; then
            grep -h -e ' -> ' "$@"
        else
            grep -h -e '^kinrec: ' "$@" | grep -v -e ' conversions failed$'
        fi
    }
    if ! diff <(pick "$ref" | LC_ALL=C sort) <(pick "$@" | LC_ALL=C sort) >"$ref.diff"; then
        echo "FAIL: the $what lines of the shares (>) differ from those of one kinrec -r (<):"
        cat "$ref.diff"
        return 1
    fi
}

# run_reference KINREC DIR [selector]: one `kinrec -r` in DIR, its console lines in
# DIR.out and DIR.err; sets ref_status. The tree must make it fail (legs/sole.csv).
run_reference() {
    local kinrec=$1 dir=$2
    shift 2
    (cd "$dir" && "$kinrec" -r "$@") >"$dir.out" 2>"$dir.err"
    ref_status=$?
    if [ "$ref_status" != 2 ]; then
        echo "FAIL: one kinrec -r $* exited $ref_status, not 2 for the table it may not overwrite"
        cat "$dir.err"
        return 1
    fi
}

# kept_plan DIR N: the shares' plan is still in DIR, with the records of shares 2 to N
# and none of share 1, whose conversion of legs/sole.csv failed: a rerun of share 1 is
# to convert the same files.
kept_plan() {
    local dir=$1 n=$2 k want got
    want=$(printf '%s\n' kinrec.plan; for k in $(seq 2 "$n"); do echo "kinrec.plan.done-$k"; done)
    got=$(cd "$dir" && find . -maxdepth 1 -name 'kinrec.plan*' | sed 's|^\./||' | LC_ALL=C sort)
    if [ "$got" != "$(LC_ALL=C sort <<<"$want")" ]; then
        echo "FAIL: ${dir##*/} holds these plan files, not the plan and the records of shares 2-$n:"
        echo "$got"
        return 1
    fi
}
