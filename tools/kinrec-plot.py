#!/usr/bin/env python3
"""Draws a kinrec table as a PNG: magnitudes against the fall threshold, the fall
counter, and roll, pitch and yaw over time. Needs matplotlib (Debian:
python3-matplotlib)."""

import argparse
import math
import os
import sys

FIXED_COLUMNS = ["accX", "accY", "accZ", "gyroX", "gyroY", "gyroZ",
                 "lpf_acc", "raw_acc", "lpf_omega", "raw_omega"]
NOT_FINITE = -2147483648  # how kinrec writes a value that is not finite


class TableError(Exception):
    pass


def read_table(path):
    """Column name -> list of values (NaN where kinrec wrote a non-finite value)."""
    try:
        with open(path, encoding="ascii", newline="") as f:
            lines = f.read().splitlines()
    except UnicodeDecodeError:
        raise TableError("%s is not a kinrec table (not plain text)" % path) from None
    except OSError as e:
        raise TableError("cannot read %s: %s" % (path, e.strerror or e)) from None
    if not lines:
        raise TableError("%s is not a kinrec table (it is empty)" % path)
    # The optional names are preceded by ", ": strip the spaces.
    names = [n.strip() for n in lines[0].split(",")]
    if names[:len(FIXED_COLUMNS)] != FIXED_COLUMNS:
        raise TableError("%s is not a kinrec table (its first line does not begin with %s)"
                         % (path, ",".join(FIXED_COLUMNS[:3]) + ",..."))
    columns = {n: [] for n in names}
    for number, line in enumerate(lines[1:], start=2):
        if not line:
            continue
        fields = line.split(",")
        try:
            values = [int(x) for x in fields]
        except ValueError:
            values = None
        if values is None or len(values) != len(names):
            raise TableError("%s is not a kinrec table (line %d is not a row of %d integers)"
                             % (path, number, len(names)))
        for n, v in zip(names, values):
            columns[n].append(math.nan if v == NOT_FINITE else v)
    if not columns["lpf_acc"]:
        raise TableError("%s has no rows to plot" % path)
    return columns


def plot(columns, out, threshold, rate, title):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    count = len(columns["lpf_acc"])
    if rate:
        x = [i / rate for i in range(count)]
        xlabel = "time (s)"
    else:
        x = list(range(count))
        xlabel = "sample"
    panels = ["acc"]
    if "fall_counter" in columns:
        panels.append("fall")
    if all(a in columns for a in ("roll", "pitch", "yaw")):
        panels.append("angles")
    heights = {"acc": 2, "fall": 1, "angles": 2}  # in grid rows
    rows = sum(heights[p] for p in panels)
    fig = plt.figure(figsize=(8, 1 + 1.35 * rows), dpi=80)
    axes, row = [], 0
    for panel in panels:
        axes.append(plt.subplot2grid((rows, 1), (row, 0), rowspan=heights[panel], fig=fig,
                                     sharex=axes[0] if axes else None))
        row += heights[panel]
    for ax, panel in zip(axes, panels):
        if panel == "acc":
            ax.plot(x, columns["raw_acc"], lw=0.7, color="0.6", label="raw_acc")
            ax.plot(x, columns["lpf_acc"], lw=1.0, color="C0", label="lpf_acc")
            ax.axhline(threshold, color="C3", lw=0.8, ls="--",
                       label="fall threshold %g" % threshold)
            ax.set_ylabel("acceleration (0.01 g)")
        elif panel == "fall":
            ax.plot(x, columns["fall_counter"], lw=1.0, color="C3", label="fall_counter")
            ax.set_ylabel("rows")
        else:
            for name, color in (("roll", "C0"), ("pitch", "C1"), ("yaw", "C2")):
                ax.plot(x, columns[name], lw=1.0, color=color, label=name)
            ax.set_ylabel("angle (deg)")
        # Above the panel, so that it hides no data.
        ax.legend(loc="lower right", bbox_to_anchor=(1.0, 1.0), fontsize="small", ncol=3,
                  frameon=False, borderaxespad=0.1)
        ax.grid(True, lw=0.3)
    for ax in axes[:-1]:
        ax.tick_params(labelbottom=False)
    axes[-1].set_xlabel(xlabel)
    axes[0].set_title(title, fontsize="medium", loc="left")
    fig.tight_layout()
    fig.savefig(out)
    plt.close(fig)


def positive(text):
    try:
        value = float(text)
    except ValueError:
        value = math.nan
    if not (math.isfinite(value) and value > 0):
        raise argparse.ArgumentTypeError("'%s' is not a positive number" % text)
    return value


def main(argv=None):
    p = argparse.ArgumentParser(
        prog="kinrec-plot.py",
        description="Draws a kinrec table (TABLE_DSV.csv) as a PNG: lpf_acc and raw_acc "
                    "against the fall threshold, fall_counter, and roll, pitch, yaw. "
                    "Panels whose columns the table lacks are left out.")
    p.add_argument("table", metavar="TABLE", help="a table written by kinrec")
    p.add_argument("-o", "--output", metavar="PNG",
                   help="the image to write (default: TABLE with .png for its extension)")
    p.add_argument("--threshold", type=float, default=60, metavar="N",
                   help="fall threshold in 0.01 g, as FALLSTARTTHRESHOLD (default 60)")
    p.add_argument("--rate", type=positive, metavar="HZ",
                   help="rows per second: time in seconds on the x axis (default: row index)")
    p.add_argument("--title", help="title (default: the table's file name)")
    args = p.parse_args(argv)
    out = args.output or os.path.splitext(args.table)[0] + ".png"
    try:
        columns = read_table(args.table)
    except TableError as e:
        print("kinrec-plot: error: %s" % e, file=sys.stderr)
        return 1
    try:
        import matplotlib  # noqa: F401  (imported again where it draws)
    except ImportError:
        # Name the interpreter: with a second Python first on PATH, Debian's package
        # is installed for another one than the Python that runs this.
        print("kinrec-plot: error: matplotlib is needed, and %s (the Python running this "
              "script) cannot import it: install matplotlib for that Python, or run the script "
              "with one that has it (Debian: apt-get install python3-matplotlib, then "
              "/usr/bin/python3 %s)" % (sys.executable, sys.argv[0]), file=sys.stderr)
        return 1
    try:
        plot(columns, out, args.threshold, args.rate, args.title or os.path.basename(args.table))
    except OSError as e:
        print("kinrec-plot: error: cannot write %s: %s" % (out, e.strerror or e), file=sys.stderr)
        return 1
    print("%s -> %s" % (args.table, out))
    return 0


if __name__ == "__main__":
    sys.exit(main())
