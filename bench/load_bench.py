#!/usr/bin/python3
"""Reading a SisFall file and converting a SisFall-sized tree, against pandas and the
console tool, in one run (not a test: figures for docs/performance.md).

    cmake -S . -B build-bench -DKINREC_BUILD_BENCH=ON -DKINREC_BUILD_TESTS=OFF
    cmake --build build-bench -j2 --target kinrec read_samples_time
    PYTHONPATH=build-bench/python /usr/bin/python3 bench/load_bench.py \\
        --build build-bench [--files 4500] [--seconds 15] [--repeat 5]

1. A 100800-line SisFall file (504 s at 200 Hz) read by the library's reader
   (read_samples_time), by kinrec.load when the package is importable, and by
   pandas.read_csv of its first six columns: the median of --repeat runs each.
2. A tree of --files SisFall trials of --seconds each converted trial by trial on
   every CPU (read_samples_time dataset; kinrec.dataset when importable) against
   `kinrec --alone -r` on the same samples as physical CSV files (FILETYPE 2,
   RESAMPLECOUNT 4): one run each, after one run that warms the page cache.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]


def median_time(run, repeat):
    times = []
    for _ in range(repeat):
        t0 = time.perf_counter()
        run()
        times.append(time.perf_counter() - t0)
    return statistics.median(times)


def kinrec_package():
    try:
        import kinrec
    except ImportError:
        return None
    return kinrec


def tool_seconds(args):
    out = subprocess.run(args, capture_output=True, text=True, check=True).stdout
    return float(out.split()[0]), out.strip()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default="build-bench")
    parser.add_argument("--files", type=int, default=4500)
    parser.add_argument("--seconds", type=int, default=15)
    parser.add_argument("--repeat", type=int, default=5)
    args = parser.parse_args()
    build = Path(args.build).resolve()
    tool = build / "bench" / "read_samples_time"
    console = build / "kinrec"
    kinrec = kinrec_package()
    cpus = os.cpu_count() or 1
    scratch = Path(tempfile.mkdtemp(prefix="kinrec-load-bench-"))
    try:
        one = scratch / "one"
        subprocess.run([tool, "make", one, "1", "504"], check=True, capture_output=True)
        path = next(one.rglob("*.txt"))
        rows = {}
        rows["library reader (read_samples_time)"] = tool_seconds(
            [tool, "read", "sisfall", path, str(args.repeat)])[0]
        if kinrec is not None and hasattr(kinrec, "dataset"):
            rows["kinrec.load(layout='sisfall')"] = median_time(
                lambda: kinrec.load(path, layout="sisfall"), args.repeat)
        import pandas as pd
        rows["pandas.read_csv, six columns"] = median_time(
            lambda: pd.read_csv(path, header=None, usecols=range(6)), args.repeat)
        base = rows["pandas.read_csv, six columns"]
        print("A 100800-line SisFall file, median of %d:" % args.repeat)
        for label, seconds in rows.items():
            print("  %-40s %8.4f s  %6.2f x pandas" % (label, seconds, seconds / base))

        tree = scratch / "sisfall"
        subprocess.run([tool, "make", tree, str(args.files), str(args.seconds)], check=True,
                       capture_output=True)
        ft2 = Path(str(tree) + "-ft2")

        def console_run():
            for table in ft2.glob("*_DSV.csv"):
                table.unlink()
            t0 = time.perf_counter()
            subprocess.run([console, "--alone", "-r"], cwd=ft2, check=True, capture_output=True)
            return time.perf_counter() - t0

        console_run()  # the page cache
        runs = {"kinrec --alone -r, FILETYPE 2 files": console_run()}
        tool_seconds([tool, "dataset", "sisfall", tree, str(cpus)])
        runs["library, trial by trial (read_samples_time)"], said = tool_seconds(
            [tool, "dataset", "sisfall", tree, str(cpus)])
        if kinrec is not None and hasattr(kinrec, "dataset"):
            t0 = time.perf_counter()
            kinrec.dataset("sisfall", tree)
            runs["kinrec.dataset('sisfall', root)"] = time.perf_counter() - t0
        base = runs["kinrec --alone -r, FILETYPE 2 files"]
        print("%d SisFall trials of %d s (%s) on %d CPUs, one run:" % (
            args.files, args.seconds, said.split(", ", 1)[1], cpus))
        for label, seconds in runs.items():
            print("  %-44s %8.3f s  %6.2f x the console" % (label, seconds, seconds / base))
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    main()
