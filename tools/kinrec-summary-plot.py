#!/usr/bin/env python3
"""Draws a kinrec batch summary (kinrec --summary FILE) as a PNG: the rows of each file's
table, and its samples beyond the 16-bit range, as bars; failed files marked in red.
Needs matplotlib (Debian: python3-matplotlib)."""

import argparse
import csv
import os
import sys

COLUMNS = ["input", "table", "status", "samples", "rows", "beyond_range", "first_beyond",
           "peak_beyond", "skipped_lines", "notes"]
COUNTS = ["samples", "rows", "beyond_range", "skipped_lines"]  # never empty
OPTIONAL = ["first_beyond", "peak_beyond"]                      # empty when none beyond
MAX_LABELS = 100  # files named on the axis; more are drawn without their names


class SummaryError(Exception):
    pass


def summary_lines(f, comments):
    """The lines of f without the comment lines, which go to comments. A '#' begins a
    comment only at the start of a record: a quoted field may hold a line end."""
    quoted = False
    for line in f:
        if not quoted and line.startswith("#"):
            comments.append(line.rstrip("\r\n"))
            continue
        yield line
        if line.count('"') % 2:
            quoted = not quoted


def read_summary(path):
    """(version or None, [row dict with integers, or None for an empty optional field])."""
    comments = []
    try:
        with open(path, encoding="utf-8", newline="") as f:
            records = list(csv.reader(summary_lines(f, comments), strict=True))
    except UnicodeDecodeError:
        raise SummaryError("%s is not a kinrec summary (not UTF-8 text)" % path) from None
    except csv.Error as e:
        raise SummaryError("%s is not a kinrec summary (%s)" % (path, e)) from None
    except OSError as e:
        raise SummaryError("cannot read %s: %s" % (path, e.strerror or e)) from None
    if not records or records[0][:len(COLUMNS)] != COLUMNS:
        raise SummaryError("%s is not a kinrec summary (its first row is not %s)"
                           % (path, ",".join(COLUMNS[:3]) + ",..."))
    version = None
    for line in comments:
        words = line[1:].split()
        if len(words) == 2 and words[0] == "version":
            version = words[1]
    names = records[0]
    rows = []
    for number, record in enumerate(records[1:], start=1):
        if record == []:
            continue
        if len(record) != len(names):
            raise SummaryError("%s is not a kinrec summary (row %d has %d fields, not %d)"
                               % (path, number, len(record), len(names)))
        row = dict(zip(names, record))
        try:
            for name in COUNTS:
                row[name] = int(row[name])
            for name in OPTIONAL:
                row[name] = int(row[name]) if row[name] != "" else None
        except ValueError:
            raise SummaryError("%s is not a kinrec summary (row %d, %s: '%s' is not a whole "
                               "number)" % (path, number, name, row[name])) from None
        if not row["status"]:
            raise SummaryError("%s is not a kinrec summary (row %d has no status)"
                               % (path, number))
        rows.append(row)
    if not rows:
        raise SummaryError("%s lists no files to plot" % path)
    return version, rows


def short(name, width=48):
    return name if len(name) <= width else "\u2026" + name[-(width - 1):]


def plot(version, rows, out, title):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    count = len(rows)
    failed = [r["status"] != "ok" for r in rows]
    y = list(range(count))
    fig, (left, right) = plt.subplots(
        1, 2, sharey=True, figsize=(11, 1.6 + 0.28 * min(count, MAX_LABELS)), dpi=80,
        gridspec_kw={"width_ratios": [3, 2]})
    colors = ["C3" if bad else "C0" for bad in failed]
    left.barh(y, [r["rows"] for r in rows], color=colors, height=0.7)
    right.barh(y, [r["beyond_range"] for r in rows],
               color=["C3" if bad else "C1" for bad in failed], height=0.7)
    left.set_xlabel("rows of the table")
    right.set_xlabel("samples beyond the 16-bit range")
    # A failed file has no table: its status stands where the bar would.
    for i, row in enumerate(rows):
        if failed[i]:
            left.text(0, i, " " + row["status"], va="center", ha="left", color="C3",
                      fontsize="small", fontweight="bold")
        elif row["first_beyond"] is not None and row["peak_beyond"] is not None:
            right.text(row["beyond_range"], i, " first #%d, peak %d"
                       % (row["first_beyond"], row["peak_beyond"]),
                       va="center", ha="left", fontsize="x-small")
    left.set_yticks(y)
    if count <= MAX_LABELS:
        left.set_yticklabels([short(r["input"]) for r in rows], fontsize="small")
        for label, bad in zip(left.get_yticklabels(), failed):
            if bad:
                label.set_color("C3")
    else:
        left.set_yticklabels([])
    left.invert_yaxis()  # the files top down, in the summary's order
    # Room for the notes beside the longest bar.
    right.set_xlim(0, max([r["beyond_range"] for r in rows] + [1]) * 1.6)
    for ax in (left, right):
        ax.grid(True, axis="x", lw=0.3)
        ax.set_axisbelow(True)
    bad = sum(failed)
    heading = "kinrec %s summary" % version if version else "kinrec summary"
    fig.suptitle("%s: %s, %d files, %d failed" % (heading, title, count, bad),
                 fontsize="medium", x=0.01, ha="left")
    fig.tight_layout()
    fig.savefig(out)
    plt.close(fig)


def main(argv=None):
    p = argparse.ArgumentParser(
        prog="kinrec-summary-plot.py",
        description="Draws a kinrec batch summary (written by kinrec --summary FILE) as a "
                    "PNG: rows per file and samples beyond the 16-bit range per file, "
                    "failed files in red with their status.")
    p.add_argument("summary", metavar="SUMMARY", help="a summary written by kinrec")
    p.add_argument("-o", "--output", metavar="PNG",
                   help="the image to write (default: SUMMARY with .png for its extension)")
    p.add_argument("--title", help="title after the version (default: the summary's file name)")
    args = p.parse_args(argv)
    out = args.output or os.path.splitext(args.summary)[0] + ".png"
    try:
        version, rows = read_summary(args.summary)
    except SummaryError as e:
        print("kinrec-summary-plot: error: %s" % e, file=sys.stderr)
        return 1
    try:
        import matplotlib  # noqa: F401  (imported again where it draws)
    except ImportError:
        print("kinrec-summary-plot: error: matplotlib is needed, and %s (the Python running "
              "this script) cannot import it: install matplotlib for that Python, or run the "
              "script with one that has it (Debian: apt-get install python3-matplotlib, then "
              "/usr/bin/python3 %s)" % (sys.executable, sys.argv[0]), file=sys.stderr)
        return 1
    try:
        plot(version, rows, out, args.title or os.path.basename(args.summary))
    except OSError as e:
        print("kinrec-summary-plot: error: cannot write %s: %s" % (out, e.strerror or e),
              file=sys.stderr)
        return 1
    print("%s -> %s" % (args.summary, out))
    return 0


if __name__ == "__main__":
    sys.exit(main())
