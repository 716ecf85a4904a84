#!/usr/bin/env python3
"""Writes an IMU recording as a kinrec physical CSV (FILETYPE 2).

Run with --help for the options, the units understood and what is printed.

The reading is the kinrec library's (ReadSamples, in the kinrec Python package's
compiled module), the same as behind kinrec.load(), so a file reads the same from Python
as here; this script is the command line around it: options, folders and file pairs,
the written file and the kinrec.cnf lines. It needs the kinrec package importable: an
installed one, or the build tree's with PYTHONPATH=build/python.
"""

import argparse
import math
import os
import sys


def load_readers():
    try:
        from kinrec import _load  # noqa: F401 (the package brings NumPy)
    except ImportError as e:
        sys.exit("kinrec-import: error: needs the kinrec Python package, whose library reads "
                 "the files: install it, or run with PYTHONPATH=build/python (%s)" % e)
    return _load


readers = load_readers()
import numpy as np  # noqa: E402 (there once the package is)
InputError = readers.LoadError
ACC_UNITS, GYRO_UNITS, TIME_UNITS = readers.ACC_UNITS, readers.GYRO_UNITS, readers.TIME_UNITS
BASE_RATE = readers.BASE_RATE
HEADER = readers.HEADER

# Input files taken from a folder.
INPUT_SUFFIXES = (".csv", ".txt", ".tsv", ".dat")

# The range of kinrec's signed 16-bit counts; beyond it values wrap around.
COUNTS_PER_G = 8192.0
COUNTS_PER_DPS = 65.53600311279297  # the float 65.536, as kinrec uses it

DESCRIPTION = """\
Writes an IMU recording as a kinrec physical CSV (FILETYPE 2):
  time_s,source_row,acc_x_g,acc_y_g,acc_z_g,gyro_x_dps,gyro_y_dps,gyro_z_dps
one row per sample: seconds from the first sample, the 0-based data row of the
source it came from (of the accelerometer's when two streams are merged),
acceleration in g and angular rate in deg/s. Values are written as read
(converted only in unit, and in sign where a column is given as -N).

Input, either
  INPUT ...                   files holding time, acceleration and angular rate,
                              or folders of them (their .csv .txt .tsv .dat files),
  INPUT --acc-where C=V --gyro-where C=V
                              one long file whose rows are tagged by sensor: the
                              rows chosen by each condition form that sensor's
                              stream, and the two are merged as two files are, or
  --acc-file A --gyro-file G  two files, each with its own time stamps, merged onto
                              a fixed-rate grid (--rate, default 50 Hz) over the
                              time span both cover; A and G may be two folders,
                              whose files are paired by name.
One input is written to -o FILE; many need --out-dir DIR (each written there
under its own name with .csv), and are converted in one run.

Columns are found by header name unless given: time = the first name with a
word beginning with "time" ("Time (s)", "timestamp", "sampleTime") or just "t"
or "ts"; acceleration = names with a word beginning with "acc" and an axis x, y,
z ("Accelerometer X (g)", "x_acc", "accX", "ax"); angular rate = the same with
"gyr" ("Gyroscope Y (deg/s)", "y_gyro", "gx"). In the two-stream forms a bare
"x", "y", "z" also counts. A unit in brackets ("(g)", "[m/s^2]") or after a last
underscore ("acc_x_g", "timestamp_us") is taken from the header; otherwise the
unit options are required. Lines whose first field begins with # or % are
comments; a ';' ending every comma-separated line is dropped. The first line is
taken as data, not as a header, with --no-header or when it holds numbers in
every column where the second line does. Time stamps may be numbers or
date-times ("2023-03-15 14:20:00.123").

Units: acceleration g, m/s^2 (1 g = 9.80665 m/s^2), mg, counts (with
--acc-scale, counts per g); angular rate deg/s, rad/s, counts (with
--gyro-scale, counts per deg/s); time s, ms, us, ns.

Printed on standard output: lines for kinrec.cnf ("# ..." lines are comments
kinrec ignores), so that "> kinrec.cnf" saves them:
  # OUTPUT: N samples at R Hz
  FILETYPE 2
and, when R is a whole multiple k >= 2 of 50 Hz with even time stamps,
  RESAMPLECOUNT k
  SAMPLINGFREQUENCY 50
(kinrec's attitude filter steps 0.02 s per kept sample, so 100 Hz needs
RESAMPLECOUNT 2, 200 Hz RESAMPLECOUNT 4); for other rates or uneven time stamps a
comment advises importing again with --rate 50. For many inputs: a "# OUTPUT"
line for each, then the settings once, when they agree (else an error).
Warnings and notes go to standard error, each naming its file, among them
values beyond +-4 g or +-500 deg/s, which wrap around in kinrec's 16-bit counts
(the data are still written unchanged), the seconds lost when two streams are
trimmed to their common span, and a stream slower than the grid, whose values
are then held. Exit status 0 on success, 1 on bad input, 2 on bad options.

Data sets: --layout NAME stands for the options that read the published files of
one: sisfall (INPUT: .txt files of counts at 200 Hz), smartfallmm (--acc-file and
--gyro-file: its two folders; "epoch ms,date-time,elapsed s,x,y,z" lines in g and
deg/s), umafall (INPUT: one file of tagged rows; sensor 4's unless --where says
another). Options given as well take the place of the layout's."""
EXAMPLES = """\
examples:
  kinrec-import.py pelvis.csv -o run/pelvis.csv > run/kinrec.cnf
  kinrec-import.py --acc-unit m/s^2 --gyro-unit rad/s --time-unit ms --rate 50 \\
      s01_01_sw.csv -o run/s01_01_sw.csv
  kinrec-import.py --acc-file Accelerometer.csv --gyro-file Gyroscope.csv \\
      --time-unit ns --acc-unit m/s^2 --gyro-unit rad/s -o run/walk.csv
  kinrec-import.py --acc-cols 1,2,3 --gyro-cols 4,5,6 --acc-unit counts \\
      --acc-scale 256 --gyro-unit counts --gyro-scale 16.384 --source-rate 200 \\
      SA01/ --out-dir run/SA01
  kinrec-import.py --time-col 1 --time-unit ms --acc-cols 3,4,5 --gyro-cols 3,4,5 \\
      --acc-unit g --gyro-unit deg/s --where 7=4 --acc-where 6=0 --gyro-where 6=1 \\
      trial.csv -o run/trial.csv
  kinrec-import.py --layout smartfallmm --acc-file SmartFallMM/accelerometer \\
      --gyro-file SmartFallMM/gyroscope --out-dir run/smartfall"""


def warn(where, text):
    print("kinrec-import: warning: %s: %s" % (where, text), file=sys.stderr)


def note(where, text):
    print("kinrec-import: note: %s: %s" % (where, text), file=sys.stderr)


def report(kind, where, text):
    (warn if kind == "warning" else note)(where, text)


def unit_option(table, what):
    def check(text):
        try:
            return readers.canonical_unit(text, table, what, "")
        except InputError as e:
            raise argparse.ArgumentTypeError(str(e)) from None
    return check


def delimiter_option(text):
    try:
        return readers.delimiter_char(text)
    except InputError as e:
        raise argparse.ArgumentTypeError(str(e)) from None


def layout_option(text):
    try:
        return readers.layout_name(text)
    except InputError as e:
        raise argparse.ArgumentTypeError(str(e)) from None


def positive_option(what):
    def check(text):
        try:
            value = float(text)
        except ValueError:
            value = float("nan")
        if not (math.isfinite(value) and value > 0):
            raise argparse.ArgumentTypeError("'%s' is not a positive %s" % (text, what))
        return value
    return check


rate_option = positive_option("rate in Hz")


def where_option(text):
    column, sep, value = text.partition("=")
    if not sep or not column.strip():
        raise argparse.ArgumentTypeError("'%s' is not COLUMN=VALUE" % text)
    return column.strip(), value.strip()


# ---- the command ---------------------------------------------------------------------

def parse_args(argv):
    p = argparse.ArgumentParser(
        prog="kinrec-import.py", description=DESCRIPTION, epilog=EXAMPLES,
        formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("inputs", nargs="*", metavar="INPUT",
                   help="a file with time, acceleration and angular rate, or a folder of "
                        "them (its %s files)" % " ".join(INPUT_SUFFIXES))
    p.add_argument("-o", "--output", metavar="FILE",
                   help="the physical CSV to write (replaced if it exists)")
    p.add_argument("--out-dir", metavar="DIR",
                   help="write each input's CSV into DIR, named after the input (for many "
                        "inputs)")
    p.add_argument("--acc-file", metavar="FILE",
                   help="accelerometer file (with --gyro-file), or a folder of them paired "
                        "by name with the files of a --gyro-file folder")
    p.add_argument("--gyro-file", metavar="FILE", help="gyroscope file (with --acc-file)")
    p.add_argument("--pair", type=pair_option, metavar="ACC,GYRO",
                   help="with folders: pair the accelerometer file whose name holds ACC with "
                        "the gyroscope file whose name holds GYRO in its place, so that one "
                        "folder may hold both (--pair _acc_,_gyro_)")
    p.add_argument("--delimiter", type=delimiter_option, metavar="C",
                   help="field delimiter: a character or tab, space, comma, semicolon, "
                        "pipe (default: detected among , ; tab |)")
    p.add_argument("--no-header", action="store_true",
                   help="the first line is data, not column names (by default so when it "
                        "holds numbers wherever the second line does)")
    p.add_argument("--time-col", metavar="COL",
                   help="time column: header name or 1-based position")
    p.add_argument("--acc-cols", metavar="X,Y,Z",
                   help="acceleration columns: three names or 1-based positions; a leading "
                        "'-' negates one (--acc-cols=-4,3,2)")
    p.add_argument("--gyro-cols", metavar="X,Y,Z",
                   help="angular rate columns, as --acc-cols")
    p.add_argument("--acc-unit", type=unit_option(ACC_UNITS, "acceleration"),
                   metavar="U", help="g, m/s^2, mg or counts (default: from the header)")
    p.add_argument("--gyro-unit", type=unit_option(GYRO_UNITS, "angular rate"),
                   metavar="U", help="deg/s, rad/s or counts (default: from the header)")
    p.add_argument("--acc-scale", type=positive_option("number of counts per g"),
                   metavar="N", help="with --acc-unit counts: counts per g (e.g. 256)")
    p.add_argument("--gyro-scale", type=positive_option("number of counts per deg/s"),
                   metavar="N", help="with --gyro-unit counts: counts per deg/s (e.g. 16.384)")
    p.add_argument("--time-unit", type=unit_option(TIME_UNITS, "time"),
                   metavar="U", help="s, ms, us or ns (default: from the header; date-times "
                                     "need none)")
    p.add_argument("--where", type=where_option, action="append", default=[],
                   metavar="COL=VALUE", help="use only rows whose column COL (name or "
                   "position) holds VALUE; repeat for more conditions")
    p.add_argument("--acc-where", type=where_option, action="append", default=[],
                   metavar="COL=VALUE", help="the same for the accelerometer's rows only; "
                   "with one INPUT, its rows then feed two streams")
    p.add_argument("--gyro-where", type=where_option, action="append", default=[],
                   metavar="COL=VALUE", help="the same for the gyroscope's rows only")
    p.add_argument("--source-rate", type=rate_option, metavar="HZ",
                   help="the rows are evenly spaced at HZ: time stamps are not read")
    p.add_argument("--rate", type=rate_option, metavar="HZ",
                   help="resample onto a grid of HZ, holding the last sample (default: "
                        "rows as they are for one stream, 50 for two)")
    p.add_argument("--overflow", choices=("wrap", "clip", "raise"), default="wrap",
                   help="what kinrec does with values beyond +-4 g or +-500 deg/s: the "
                        "OVERFLOW line printed for kinrec.cnf (default: wrap, printed as "
                        "nothing)")
    p.add_argument("--layout", type=layout_option, metavar="NAME",
                   help="the options that read a data set's published files: %s (options "
                        "given as well take their place)" % ", ".join(
                            readers._kinrec._layout_names()))
    args = p.parse_args(argv)
    pair = args.acc_file is not None or args.gyro_file is not None
    if pair and (args.acc_file is None or args.gyro_file is None):
        p.error("--acc-file and --gyro-file go together")
    if pair == bool(args.inputs):
        p.error("give either INPUT or --acc-file and --gyro-file")
    if args.layout is not None:
        if readers.layout_takes_two_files(args.layout) != pair:
            p.error("--layout %s takes %s" % (args.layout, "INPUT" if pair else
                                               "--acc-file and --gyro-file"))
    if (args.output is None) == (args.out_dir is None):
        p.error("give -o FILE, or --out-dir DIR")
    for unit, scale, option in ((args.acc_unit, args.acc_scale, "--acc"),
                                (args.gyro_unit, args.gyro_scale, "--gyro")):
        if scale is not None and unit not in (None, "counts"):
            p.error("%s-scale goes with %s-unit counts" % (option, option))
    args.split = pair or bool(args.acc_where or args.gyro_where)
    args.report = report
    if args.split and args.rate is None:
        args.rate = BASE_RATE
    try:
        args.jobs = jobs(args)
    except InputError as e:
        p.error(str(e))
    return args


def pair_option(text):
    parts = text.split(",")
    if len(parts) != 2 or not all(parts) or parts[0] == parts[1]:
        raise argparse.ArgumentTypeError("give two different parts of names, ACC,GYRO "
                                         "(for example _acc_,_gyro_)")
    return tuple(parts)


def paired_files(acc_dir, gyro_dir, pair):
    """(acc name, gyro name) of the files of two folders (or one) that pair up: by the same
    name, or with pair (ACC, GYRO), by ACC in the one's name standing for GYRO in the
    other's. Files left without a partner are said."""
    acc, gyro = folder_files(acc_dir), folder_files(gyro_dir)
    if pair is None:
        wanted = {n: n for n in acc}
    else:
        acc = [n for n in acc if pair[0] in n]
        gyro = [n for n in gyro if pair[1] in n]
        wanted = {n: n.replace(pair[0], pair[1], 1) for n in acc}
    found = set(gyro)
    for name, partner in wanted.items():
        if partner not in found:
            warn(os.path.join(acc_dir, name), "no file of that name in %s; left out" % gyro_dir
                 if pair is None else "no %s in %s; left out" % (partner, gyro_dir))
    for name in sorted(found - set(wanted.values())):
        warn(os.path.join(gyro_dir, name), "no file of that name in %s; left out" % acc_dir
             if pair is None else "no accelerometer file for it in %s; left out" % acc_dir)
    return [(n, wanted[n]) for n in acc if wanted[n] in found]


def folder_files(folder):
    try:
        names = sorted(os.listdir(folder))
    except OSError as e:
        raise InputError("cannot read %s: %s" % (folder, e.strerror or e)) from None
    return [n for n in names if n.lower().endswith(INPUT_SUFFIXES) and not n.startswith(".")
            and not n.endswith("_DSV.csv") and os.path.isfile(os.path.join(folder, n))]


def jobs(args):
    """(sources, output) of each conversion: sources is (input,) or (acc, gyro)."""
    if args.acc_file is not None:
        if os.path.isdir(args.acc_file) and os.path.isdir(args.gyro_file):
            if args.pair is None and one_file(args.acc_file, args.gyro_file):
                raise InputError("%s is the folder of both sensors: give --pair ACC,GYRO to "
                                 "pair its files by name (for example --pair _acc_,_gyro_)"
                                 % args.acc_file)
            sources = [(os.path.join(args.acc_file, a), os.path.join(args.gyro_file, g))
                       for a, g in paired_files(args.acc_file, args.gyro_file, args.pair)]
            if not sources:
                raise InputError("%s and %s have no file names in common%s" % (
                    args.acc_file, args.gyro_file,
                    "" if args.pair is None else " by --pair %s,%s" % args.pair))
        elif args.pair is not None:
            raise InputError("--pair goes with folders as --acc-file and --gyro-file")
        else:
            sources = [(args.acc_file, args.gyro_file)]
    else:
        sources = []
        for path in args.inputs:
            if os.path.isdir(path):
                found = folder_files(path)
                if not found:
                    raise InputError("%s holds no %s files" % (path, " ".join(INPUT_SUFFIXES)))
                sources += [(os.path.join(path, n),) for n in found]
            else:
                sources.append((path,))
    if args.output is not None:
        if len(sources) > 1:
            raise InputError("%d inputs: give --out-dir DIR rather than -o" % len(sources))
        return [(sources[0], args.output)]
    outputs = {}
    for source in sources:
        name = os.path.splitext(os.path.basename(source[0]))[0] + ".csv"
        if name in outputs:
            raise InputError("%s and %s would both be written as %s" % (
                outputs[name][0], source[0], os.path.join(args.out_dir, name)))
        outputs[name] = source
    return [(source, os.path.join(args.out_dir, name)) for name, source in outputs.items()]


def write_rows(path, got):
    with open(path, "w", encoding="ascii", newline="") as f:
        f.write(HEADER + "\n")
        value = readers.format_value
        for t, source_row, a, g in zip(got["time"].tolist(), got["source_row"].tolist(),
                                       got["acc"].tolist(), got["gyro"].tolist()):
            f.write("%.6f,%d,%s,%s,%s,%s,%s,%s\n" % (
                t, source_row, value(a[0]), value(a[1]), value(a[2]), value(g[0]), value(g[1]),
                value(g[2])))


def wrapping(got):
    """Counts and largest magnitudes of values that leave kinrec's 16-bit counts."""
    found = []
    for values, per_unit in ((got["acc"], COUNTS_PER_G), (got["gyro"], COUNTS_PER_DPS)):
        counts = np.trunc(values * per_unit)  # toward zero, as kinrec takes a value
        beyond = (counts < -32768.0) | (counts > 32767.0)
        found += [int(beyond.sum()), float(abs(values[beyond]).max()) if beyond.any() else 0.0]
    return tuple(found)


OPTIONS = ("layout", "delimiter", "no_header", "time_col", "acc_cols", "gyro_cols", "acc_unit",
           "gyro_unit", "acc_scale", "gyro_scale", "time_unit", "where", "acc_where",
           "gyro_where", "source_rate", "rate")


def cnf_lines(output, count, rate, even, overflow="wrap"):
    """The kinrec.cnf lines for the written file."""
    lines = ["# %s: %d samples at %s" % (output, count, "%.4g Hz" % rate if rate else
                                          "an unknown rate")]
    lines.append("FILETYPE 2")
    if overflow != "wrap":
        lines.append("OVERFLOW %s" % overflow)
    if rate is None:
        lines.append("# the time stamps do not increase: give --source-rate, or check "
                     "--time-col")
        return lines
    k = round(rate / BASE_RATE)
    multiple = k >= 1 and abs(rate - k * BASE_RATE) <= 0.03 * k * BASE_RATE
    if not even:
        lines.append("# the time stamps are uneven: for kinrec's 0.02 s steps import again "
                     "with --rate 50")
    elif not multiple:
        lines.append("# %.4g Hz is not a whole multiple of 50 Hz, the rate kinrec's attitude "
                     "filter assumes: import again with --rate 50" % rate)
    elif k >= 2:
        lines.append("RESAMPLECOUNT %d" % k)
        lines.append("SAMPLINGFREQUENCY 50")
    return lines


def one_file(a, b):
    """Whether two names stand for one file (False when either cannot be looked at)."""
    try:
        return os.path.samefile(a, b)
    except OSError:
        return False


def same_file(a, b):
    try:
        return os.path.samefile(a, b)
    except OSError:
        return os.path.abspath(a) == os.path.abspath(b)


def convert(sources, output, args):
    """Writes one output; its kinrec.cnf lines."""
    if any(same_file(s, output) for s in sources):
        raise InputError("the output %s would replace an input" % output)
    got = readers.read_samples(sources, {k: getattr(args, k) for k in OPTIONS})
    for kind, where, text in got["notes"]:
        report(kind, where, text)
    rate, even = got["rate"] or None, got["even"]
    acc_n, acc_max, gyro_n, gyro_max = wrapping(got)
    fate = {"wrap": "wrap around in kinrec (--overflow clip keeps them at the range's ends)",
            "clip": "are clipped at the range's ends in kinrec (OVERFLOW clip)",
            "raise": "make kinrec refuse the file (OVERFLOW raise)"}[args.overflow]
    if acc_n:
        warn(sources[0], "%d acceleration value(s) beyond +-4 g (largest %.3g g) %s; written "
             "unchanged" % (acc_n, acc_max, fate))
    if gyro_n:
        warn(sources[-1], "%d angular rate value(s) beyond +-500 deg/s (largest %.4g deg/s) "
             "%s; written unchanged" % (gyro_n, gyro_max, fate))
    try:
        write_rows(output, got)
    except OSError as e:
        raise InputError("cannot write %s: %s" % (output, e.strerror or e)) from None
    return cnf_lines(output, len(got["time"]), rate, even, args.overflow)


def main(argv=None):
    args = parse_args(argv)
    if args.out_dir is not None:
        try:
            os.makedirs(args.out_dir, exist_ok=True)
        except OSError as e:
            print("kinrec-import: error: cannot create %s: %s" % (args.out_dir, e.strerror or e),
                  file=sys.stderr)
            return 1
    done, failed = [], 0
    for sources, output in args.jobs:
        try:
            done.append((output, convert(sources, output, args)))
        except InputError as e:
            text = str(e)
            if not any(s in text for s in sources):
                text = "%s: %s" % (", ".join(sources), text)
            print("kinrec-import: error: %s" % text, file=sys.stderr)
            failed += 1
    if len(done) == 1 and not failed:
        print("\n".join(done[0][1]))
        return 0
    # Many files: one set of settings for the folder kinrec runs in, when they agree.
    settings = {}
    for output, lines in done:
        settings.setdefault(tuple(x for x in lines if not x.startswith("#")), []).append(output)
    for _, lines in done:
        print("\n".join(x for x in lines if x.startswith("#")))
    if len(settings) == 1:
        print("\n".join(next(iter(settings))))
    elif len(settings) > 1:
        print("kinrec-import: error: the files need different kinrec.cnf settings (%s): "
              "import them with --rate 50, or into separate folders" % "; ".join(
                  "%s: %s" % (", ".join(outs), ", ".join(s)) for s, outs in settings.items()),
              file=sys.stderr)
        return 1
    if failed and len(args.jobs) > 1:
        print("kinrec-import: error: %d of %d inputs not converted" % (
            failed, len(args.jobs)), file=sys.stderr)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
