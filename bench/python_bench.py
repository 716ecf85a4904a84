#!/usr/bin/python3
"""kinrec.features() on a recording held in NumPy arrays against the console tool on the
same recording as a file, in one run (not a test: figures for docs/performance.md).

    PYTHONPATH=build/python /usr/bin/python3 bench/python_bench.py [--samples 1000000]
        [--repeat 3] [--kinrec build/kinrec]

Generates a counts recording with bench/gen_recording.cpp (compiled with g++ into a
temporary folder, removed afterwards), loads it into int16 arrays (not timed), then
times, median of --repeat turns each (the cases taking turns): the console tool converting the file into a table;
kinrec.read() of the file; kinrec.features() of the arrays, as a DataFrame and as
a structured array. Prints samples per second,
the ratios to the console tool and the bytes per value of the features() result.
"""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path


import kinrec
from counts_recording import counts_recording

ROOT = Path(__file__).resolve().parents[1]


def median_seconds(repeat, actions):
    """The median wall time of each action, the actions taking turns so that the
    machine's drift falls on all of them alike."""
    times = [[] for _ in actions]
    for _ in range(repeat):
        for spent, action in zip(times, actions):
            start = time.perf_counter()
            action()
            spent.append(time.perf_counter() - start)
    return [statistics.median(t) for t in times]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--samples", type=int, default=1_000_000)
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--kinrec", default=str(ROOT / "build" / "kinrec"))
    args = parser.parse_args()
    exe = os.path.abspath(args.kinrec)

    with tempfile.TemporaryDirectory(prefix="kinrec-pybench-") as tmp:
        recording, acc, gyro = counts_recording(Path(tmp), args.samples)
        n = len(acc)

        table = Path(tmp) / "rec_DSV.csv"
        # No kinrec.cnf in the temporary folder: the defaults, as features() has them.
        result = {}
        console, read, arrays, records = median_seconds(args.repeat, [
            lambda: subprocess.run([exe, str(recording), str(table)], cwd=tmp, check=True,
                                   stdout=subprocess.DEVNULL),
            lambda: kinrec.read(recording),
            lambda: result.update(frame=kinrec.features(acc, gyro)),
            lambda: kinrec.features(acc, gyro, as_frame=False),
        ])
        frame = result["frame"]
        if not frame.reset_index(drop=True).equals(kinrec.read_table(table)):
            sys.exit("python_bench: features() differs from the console tool's table")

    values = frame.shape[0] * frame.shape[1]
    size = frame.memory_usage(index=True, deep=True).sum()
    print(f"{n} samples, median of {args.repeat}")
    print(f"{'case':<34}{'wall (s)':>10}{'samples/s':>12}{'vs console':>12}")
    for name, seconds in [("console tool, file to table", console),
                          ("kinrec.read(), file to DataFrame", read),
                          ("kinrec.features(), arrays", arrays),
                          ("features(as_frame=False)", records)]:
        print(f"{name:<34}{seconds:>10.3f}{n / seconds / 1e6:>11.2f}M{console / seconds:>11.2f}x")
    print(f"features() result: {size / values:.2f} bytes per value "
          f"({frame.shape[1]} int32 columns, {frame.index.__class__.__name__})")


if __name__ == "__main__":
    main()
