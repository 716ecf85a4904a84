#!/usr/bin/python3
"""The doors into kinrec's conversion side by side, in CPU time (not a test: figures for
docs/performance.md). One counts recording of --samples samples, least of --turns turns:

- the console tool converting the file into a table file (its own CPU time, starting it
  included);
- C++ kinrec::FromCounts of the samples in memory into a kinrec::Table, and
  kinrec::FromFile of the file into a Table (bench/table_bench.cpp);
- Python kinrec.features() of the samples in int16 arrays, and kinrec.read() of the file.

    PYTHONPATH=build/python /usr/bin/python3 bench/library_bench.py [--samples 1000000]
        [--turns 7] [--kinrec build/kinrec] [--table-bench build/bench/table_bench]

CPU time is every thread's (read() and FromFile read the file on a second thread), so it
does not move with what else the machine's other core is doing as much as wall time does.
"""
import argparse
import os
import resource
import subprocess
import sys
import tempfile
import time
from pathlib import Path


import kinrec
from counts_recording import counts_recording

ROOT = Path(__file__).resolve().parents[1]


def least_cpu(turns, action):
    least = float("inf")
    for _ in range(turns):
        start = time.process_time()
        action()
        least = min(least, time.process_time() - start)
    return least


def least_child_cpu(turns, command, cwd):
    least = float("inf")
    for _ in range(turns):
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        subprocess.run(command, cwd=cwd, check=True, stdout=subprocess.DEVNULL)
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        least = min(least, (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime))
    return least


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--samples", type=int, default=1_000_000)
    parser.add_argument("--turns", type=int, default=7)
    parser.add_argument("--kinrec", default=str(ROOT / "build" / "kinrec"))
    parser.add_argument("--table-bench", default=str(ROOT / "build" / "bench" / "table_bench"))
    args = parser.parse_args()
    exe, bench = os.path.abspath(args.kinrec), os.path.abspath(args.table_bench)
    if not os.access(bench, os.X_OK):
        sys.exit(f"library_bench: no {bench} (configure with -DKINREC_BUILD_BENCH=ON and "
                 "build the target table_bench)")
    with tempfile.TemporaryDirectory(prefix="kinrec-libbench-") as tmp:
        recording, acc, gyro = counts_recording(Path(tmp), args.samples)
        table = Path(tmp) / "rec_DSV.csv"
        console = least_child_cpu(args.turns, [exe, str(recording), str(table)], tmp)
        out = subprocess.run([bench, str(recording), str(args.turns)], check=True,
                             capture_output=True, text=True).stdout.split()
        cxx = dict(zip(out[0::2], map(float, out[1::2])))
        features = least_cpu(args.turns, lambda: kinrec.features(acc, gyro))
        read = least_cpu(args.turns, lambda: kinrec.read(recording))
        if not kinrec.features(acc, gyro).reset_index(drop=True).equals(
                kinrec.read_table(table)):
            sys.exit("library_bench: features() differs from the console tool's table")

    print(f"{args.samples} samples, CPU seconds, least of {args.turns}")
    print(f"{'door':<40}{'CPU (s)':>9}{'console/door':>14}")
    for name, seconds in [("console tool, file to table file", console),
                          ("C++ FromCounts, int16 to Table", cxx["FromCounts"]),
                          ("C++ FromFile, file to Table", cxx["FromFile"]),
                          ("Python features(), int16 arrays", features),
                          ("Python read(), file to DataFrame", read)]:
        print(f"{name:<40}{seconds:>9.3f}{console / seconds:>13.2f}x")


if __name__ == "__main__":
    main()
