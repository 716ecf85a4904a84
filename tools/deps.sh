#!/bin/sh
# Installs the packages that building and testing kinrec need, only those missing.
#   tools/deps.sh [--tests] [--python] [--ci] [--quiet]
#     (nothing)  building kinrec: cmake, make, g++
#     --tests    and its tests: GoogleTest, python3 (the plot tests skip without matplotlib)
#     --python   and the Python package: pybind11, NumPy, pandas, pytest, venv, setuptools
#     --ci       and .ci/run, .ci/windows: clang 14 with its runtime, clang-tidy 14, cppcheck,
#                ShellCheck, git, matplotlib, pandas, mingw-w64 g++, Wine, aarch64 g++,
#                qemu-user, SLURM, MUNGE, GNU parallel, snakemake, and --python's
#     --quiet    no apt progress, only errors
# Debian, Ubuntu: when dpkg-query finds every package nothing else happens (no network);
# else apt-get installs the missing ones, as root or through sudo. Other systems: the
# commands are checked, and docs/development.md says what to install by hand.
set -eu
me=tools/deps.sh
level=build
python=no
exec 3>&2
for arg in "$@"; do
    case $arg in
    --tests) [ "$level" = ci ] || level=tests ;;
    --python) python=yes ;;
    --ci) level=ci python=yes ;;
    -q | --quiet) exec 3>/dev/null ;;
    -h | --help) sed -n '2,13s/^# \{0,1\}//p' "$0"; exit 0 ;;
    *) echo "$me: unknown option '$arg' (try --help)" >&2; exit 2 ;;
    esac
done

# Debian package, a command showing it is there on other systems (- for none), what it is.
wanted() {
    cat <<'EOF'
cmake cmake CMake 3.16 or newer
make make make
g++ c++ a C++17 compiler with std::from_chars for double (g++ 11 or newer)
EOF
    [ "$level" = build ] || cat <<'EOF'
libgtest-dev - GoogleTest
python3 python3 Python 3
EOF
    [ "$python" = no ] || cat <<'EOF'
python3-dev - the Python headers
pybind11-dev - pybind11 for C++
python3-pybind11 - pybind11 for Python (the pip build)
python3-numpy - NumPy for Python 3
python3-pandas - pandas for Python 3
python3-pytest - pytest for Python 3
python3-setuptools - setuptools for Python 3
python3-venv - venv for Python 3
python3-pip - pip for Python 3
EOF
    [ "$level" != ci ] || cat <<'EOF'
clang-14 clang++-14 clang 14
libclang-rt-14-dev - the sanitizer and libFuzzer runtimes of clang 14
clang-tidy-14 run-clang-tidy-14 clang-tidy 14
cppcheck cppcheck cppcheck
shellcheck shellcheck ShellCheck
git git git
python3-matplotlib - matplotlib for Python 3
python3-pandas - pandas for Python 3
g++-mingw-w64-x86-64-posix x86_64-w64-mingw32-g++-posix mingw-w64 g++ (posix threads)
wine wine Wine
wine64 - 64-bit Wine
g++-aarch64-linux-gnu aarch64-linux-gnu-g++ g++ for aarch64 Linux
qemu-user qemu-aarch64 qemu-user, to run aarch64 programs
googletest - the GoogleTest sources
slurmctld slurmctld the SLURM controller (tests/scheduler)
slurmd slurmd the SLURM node daemon
slurm-client sbatch the SLURM commands
munge munged MUNGE, the authentication SLURM uses
parallel parallel GNU parallel
snakemake snakemake snakemake (tools/kinrec.smk)
EOF
}

give_up() {
    echo "$me: missing $kind:$missing" >&2
    echo "$me: needed: ${needs#, }." >&2
    how="apt-get install --no-install-recommends$missing"
    [ "$kind" = packages ] || how="see docs/development.md"
    echo "$me: cannot install them: $1. Install them by hand ($how) and try again." >&2
    exit 1
}

# shellcheck source=/dev/null
case $( (. /etc/os-release && echo " ${ID:-} ${ID_LIKE:-} ") 2>/dev/null) in
*" debian "* | *" ubuntu "*) command -v dpkg-query >/dev/null && kind=packages || kind=commands ;;
*) kind=commands ;;
esac
missing='' needs=''
while read -r pkg cmd what; do
    if [ "$kind" = packages ]; then
        case $(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null) in *" ok installed") continue ;; esac
    else
        if [ "$cmd" = - ] || command -v "$cmd" >/dev/null; then continue; fi
        pkg=$cmd
    fi
    missing="$missing $pkg" needs="$needs, $what"
done <<EOF
$(wanted)
EOF
[ -n "$missing" ] || exit 0

[ "$kind" = packages ] || give_up "this is neither Debian nor Ubuntu"
command -v apt-get >/dev/null || give_up "there is no apt-get"
if [ "$(id -u)" = 0 ]; then sudo=''
elif command -v sudo >/dev/null; then sudo=sudo
else give_up "not root, and there is no sudo"
fi
echo "$me: installing$missing" >&2
# shellcheck disable=SC2086 # $sudo is empty or "sudo"
apt_get() { $sudo env DEBIAN_FRONTEND=noninteractive apt-get "$@" >&3; }
apt_get update || echo "$me: apt-get update failed; trying the install all the same" >&2
# shellcheck disable=SC2086 # one word per package
apt_get install -y --no-install-recommends $missing || give_up "apt-get install failed"
