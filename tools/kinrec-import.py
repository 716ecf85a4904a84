#!/usr/bin/env python3
"""Writes an IMU recording as a kinrec physical CSV (FILETYPE 2).

Run with --help for the options, the units understood and what is printed.
Standard library only.
"""

import argparse
import bisect
import csv
import math
import os
import re
import statistics
import sys

STANDARD_GRAVITY = 9.80665  # m/s^2 per g

# Canonical unit name -> factor to kinrec's physical units (g, deg/s, s).
ACC_UNITS = {"g": 1.0, "m/s^2": 1.0 / STANDARD_GRAVITY, "mg": 0.001}
GYRO_UNITS = {"deg/s": 1.0, "rad/s": 180.0 / math.pi}
TIME_UNITS = {"s": 1.0, "ms": 1e-3, "us": 1e-6, "ns": 1e-9}
UNIT_ALIASES = {
    "m/s2": "m/s^2", "m/s\u00b2": "m/s^2", "ms^-2": "m/s^2", "m/s/s": "m/s^2", "mps2": "m/s^2",
    "dps": "deg/s", "\u00b0/s": "deg/s", "degree/s": "deg/s", "degrees/s": "deg/s",
    "rad/sec": "rad/s", "deg/sec": "deg/s",
    "sec": "s", "msec": "ms", "\u00b5s": "us", "\u03bcs": "us", "usec": "us", "nsec": "ns",
}
# Unit words that may end a column name after an underscore: "acc_x_g", "timestamp_us".
TRAILING_UNITS = {"g", "mg", "dps", "s", "ms", "us", "ns"}

# The range of kinrec's signed 16-bit counts; beyond it values wrap around.
COUNTS_PER_G = 8192.0
COUNTS_PER_DPS = 65.53600311279297  # the float 65.536, as kinrec uses it
BASE_RATE = 50.0  # Hz: kinrec's attitude filter steps 0.02 s per kept sample

HEADER = "time_s,source_row,acc_x_g,acc_y_g,acc_z_g,gyro_x_dps,gyro_y_dps,gyro_z_dps"

DESCRIPTION = """\
Writes an IMU recording as a kinrec physical CSV (FILETYPE 2):
  time_s,source_row,acc_x_g,acc_y_g,acc_z_g,gyro_x_dps,gyro_y_dps,gyro_z_dps
one row per sample: seconds from the first sample, the 0-based data row of the
source it came from (of the accelerometer file when two are merged), acceleration
in g and angular rate in deg/s. Values are written as read (converted only in unit).

Input, either
  INPUT                       one delimited text file holding time, acceleration
                              and angular rate (a header line names the columns), or
  --acc-file A --gyro-file G  two files, each with its own time stamps, merged onto
                              a fixed-rate grid (--rate, default 50 Hz).

Columns are found by header name unless given: time = the first name with a
word beginning with "time" ("Time (s)", "timestamp", "sampleTime") or just "t"
or "ts"; acceleration = names with a word beginning with "acc" and an axis x, y,
z ("Accelerometer X (g)", "x_acc", "accX", "ax"); angular rate = the same with
"gyr" ("Gyroscope Y (deg/s)", "y_gyro", "gx"). In the two-file form a bare "x",
"y", "z" also counts. A unit in brackets ("(g)", "[m/s^2]") or after a last
underscore ("acc_x_g", "timestamp_us") is taken from the header; otherwise the
unit options are required.

Units: acceleration g, m/s^2 (1 g = 9.80665 m/s^2), mg; angular rate deg/s,
rad/s; time s, ms, us, ns.

Printed on standard output: lines for kinrec.cnf ("# ..." lines are comments
kinrec ignores), so that "> kinrec.cnf" saves them:
  # OUTPUT: N samples at R Hz
  FILETYPE 2
and, when R is a whole multiple k >= 2 of 50 Hz with even time stamps,
  RESAMPLECOUNT k
  SAMPLINGFREQUENCY 50
(kinrec's attitude filter steps 0.02 s per kept sample, so 100 Hz needs
RESAMPLECOUNT 2, 200 Hz RESAMPLECOUNT 4); for other rates or uneven time stamps a
comment advises importing again with --rate 50. Warnings go to standard error,
among them values beyond +-4 g or +-500 deg/s, which wrap around in kinrec's
16-bit counts (the data are still written unchanged). Exit status 0 on success,
1 on bad input, 2 on bad options."""

EXAMPLES = """\
examples:
  kinrec-import.py pelvis.csv -o run/pelvis.csv > run/kinrec.cnf
  kinrec-import.py --acc-unit m/s^2 --gyro-unit rad/s --time-unit ms --rate 50 \\
      s01_01_sw.csv -o run/s01_01_sw.csv
  kinrec-import.py --acc-file Accelerometer.csv --gyro-file Gyroscope.csv \\
      --time-unit ns --acc-unit m/s^2 --gyro-unit rad/s -o run/walk.csv"""


class InputError(Exception):
    """Bad input: reported on standard error with exit status 1."""


def warn(text):
    print("kinrec-import: warning: " + text, file=sys.stderr)


def note(text):
    print("kinrec-import: note: " + text, file=sys.stderr)


def canonical_unit(text, table, what, option):
    """The canonical name of a unit, or InputError naming the accepted ones."""
    key = text.strip().lower().replace(" ", "")
    key = UNIT_ALIASES.get(key, key)
    if key not in table:
        raise InputError("unknown %s unit '%s'%s; use %s" % (
            what, text, option, ", ".join(table)))
    return key


def unit_option(table, what):
    def check(text):
        try:
            return canonical_unit(text, table, what, "")
        except InputError as e:
            raise argparse.ArgumentTypeError(str(e)) from None
    return check


def delimiter_option(text):
    named = {"tab": "\t", "\\t": "\t", "comma": ",", "semicolon": ";", "space": " ", "pipe": "|"}
    value = named.get(text.lower(), text)
    if len(value) != 1:
        raise argparse.ArgumentTypeError("a delimiter is one character (or tab, space, ...)")
    return value


def rate_option(text):
    try:
        value = float(text)
    except ValueError:
        value = float("nan")
    if not (math.isfinite(value) and value > 0):
        raise argparse.ArgumentTypeError("'%s' is not a positive rate in Hz" % text)
    return value


# ---- reading -------------------------------------------------------------------------

class Table:
    """A delimited text file: header names (or None) and data rows with line numbers."""

    def __init__(self, path, delimiter):
        self.path = path
        try:
            with open(path, encoding="utf-8-sig", newline="") as f:
                text = f.read()
        except UnicodeDecodeError:
            raise InputError("cannot read %s: not a text file" % path) from None
        except OSError as e:
            raise InputError("cannot read %s: %s" % (path, e.strerror or e)) from None
        if "\0" in text:
            raise InputError("cannot read %s: not a text file" % path)
        if not text.strip():
            raise InputError("%s is empty" % path)
        self.delimiter = delimiter or sniff_delimiter(text)
        self.decimal_comma = self.delimiter != ","
        reader = csv.reader(text.splitlines(), delimiter=self.delimiter,
                            skipinitialspace=True)
        rows = []
        for fields in reader:
            if not fields or not "".join(fields).strip() or fields[0].lstrip().startswith("#"):
                continue
            rows.append((reader.line_num, [x.strip() for x in fields]))
        if not rows:
            raise InputError("%s has no lines other than comments" % path)
        first = rows[0][1]
        if all(self.number(x) is not None for x in first):
            self.names = None
            self.rows = rows
        else:
            self.names = first
            self.rows = rows[1:]
        if not self.rows:
            raise InputError("%s has a header but no samples" % path)

    def number(self, text):
        """The value of a numeric field, or None."""
        if self.decimal_comma:
            text = text.replace(",", ".")
        try:
            value = float(text)
        except ValueError:
            return None
        return value if math.isfinite(value) else None

    def column(self, wanted, role):
        """The 0-based index of a column given by header name or 1-based position."""
        wanted = wanted.strip()
        width = len(self.names) if self.names else max(len(r) for _, r in self.rows)
        if wanted.isdigit():
            index = int(wanted) - 1
            if not 0 <= index < width:
                raise InputError("%s column %s is beyond the %d columns of %s" % (
                    role, wanted, width, self.path))
            return index
        if self.names is None:
            raise InputError("%s has no header line: give the %s column by position (1, 2, ...)"
                             % (self.path, role))
        for exact in (True, False):
            for i, name in enumerate(self.names):
                if name == wanted if exact else name.lower() == wanted.lower():
                    return i
        raise InputError("%s column '%s' not found in %s (its columns: %s)" % (
            role, wanted, self.path, ", ".join(self.names)))

    def header_unit(self, index):
        return split_name(self.names[index])[1] if self.names else None


def sniff_delimiter(text):
    """The field delimiter among , ; tab | judged from the first lines."""
    sample = text[:65536]
    if len(text) > len(sample) and "\n" in sample:
        sample = sample[:sample.rindex("\n")]
    try:
        return csv.Sniffer().sniff(sample, delimiters=",;\t|").delimiter
    except csv.Error:
        first = sample.splitlines()[0]
        counts = [(first.count(c), c) for c in ",;\t|"]
        best = max(counts)
        return best[1] if best[0] > 0 else ","


BRACKETED = re.compile(r"[(\[]\s*([^)\]]*?)\s*[)\]]")
JOINED_AXIS = re.compile(r"^(acc|accel|accelerometer|gyr|gyro|gyroscope)_?([xyz])$")


def split_name(name):
    """A column name as (lower-case words, unit text or None)."""
    found = BRACKETED.search(name)
    unit = found.group(1) if found else None
    base = BRACKETED.sub(" ", name)
    base = re.sub(r"([a-z])([A-Z])", r"\1 \2", base)
    words = [w for w in re.split(r"[^0-9a-z]+", base.lower()) if w]
    if unit is None and len(words) > 1 and words[-1] in TRAILING_UNITS and "_" in name:
        unit = words.pop()
    return words, unit


def sensor_axis(words):
    """('acc' | 'gyr' | None, 'x' | 'y' | 'z' | None) for a column's words."""
    sensor = axis = None
    for w in words:
        joined = JOINED_AXIS.match(w)
        if joined:
            return joined.group(1)[:3], joined.group(2)
        if w in ("ax", "ay", "az", "gx", "gy", "gz"):
            return ("acc" if w[0] == "a" else "gyr"), w[1]
        if w.startswith("acc"):
            sensor = "acc"
        elif w.startswith("gyr"):
            sensor = "gyr"
        elif w in ("x", "y", "z"):
            axis = w
    return sensor, axis


def find_axes(table, sensor, wanted, bare_ok):
    """Indices of the x, y, z columns of one sensor."""
    role = {"acc": "acceleration", "gyr": "angular rate"}[sensor]
    option = "--acc-cols" if sensor == "acc" else "--gyro-cols"
    if wanted:
        parts = wanted.split(",")
        if len(parts) != 3:
            raise InputError("%s takes three columns (x,y,z), not '%s'" % (option, wanted))
        return [table.column(p, role) for p in parts]
    if table.names is None:
        raise InputError("%s has no header line: give %s by position, e.g. %s 2,3,4"
                         % (table.path, option, option))
    parsed = [split_name(n) for n in table.names]
    found = []
    for axis in "xyz":
        hits = [i for i, (words, _) in enumerate(parsed) if sensor_axis(words) == (sensor, axis)]
        if not hits and bare_ok:
            hits = [i for i, (words, _) in enumerate(parsed) if words == [axis]]
        if len(hits) != 1:
            how = "no" if not hits else "more than one"
            raise InputError("%s %s column for axis %s found in %s (its columns: %s); give %s"
                             % (how, role, axis, table.path, ", ".join(table.names), option))
        found.append(hits[0])
    return found


def find_time(table, wanted):
    if wanted:
        return table.column(wanted, "time")
    if table.names:
        for i, name in enumerate(table.names):
            words = split_name(name)[0]
            if any(w.startswith("time") for w in words) or words in (["t"], ["ts"]):
                return i
    raise InputError("no time column found in %s; give --time-col, or --source-rate when "
                     "the rows are evenly spaced" % table.path)


def column_unit(table, index, given, units, what, option):
    if given:
        return units[given]
    text = table.header_unit(index)
    if text is None:
        raise InputError("the %s unit of %s is not in its header; give %s (%s)" % (
            what, table.path, option, ", ".join(units)))
    return units[canonical_unit(text, units, what,
                                " in column '%s' of %s; give %s" % (
                                    table.names[index], table.path, option))]


def parse_time(text, table):
    """A time stamp: int when it is one (exact for ns Unix stamps), else float."""
    if re.fullmatch(r"[+-]?\d+", text):
        return int(text)
    return table.number(text)


class Stream:
    """Samples of one file: times in seconds from the file's first stamp, values, rows."""

    def __init__(self, table, time_index, time_scale, source_rate, columns):
        self.times, self.values, self.rows = [], [], []
        need = max(columns + ([time_index] if time_index is not None else []))
        skipped, first_bad = 0, None
        origin = None
        for n, (line, fields) in enumerate(table.rows):
            values = None
            stamp = None
            if len(fields) > need:
                values = [table.number(fields[i]) for i in columns]
                if source_rate is None:
                    stamp = parse_time(fields[time_index], table)
            if values is None or None in values or (source_rate is None and stamp is None):
                skipped += 1
                first_bad = first_bad or line
                continue
            if source_rate is not None:
                t = n / source_rate
            else:
                if origin is None:
                    origin = stamp
                t = (stamp - origin) * time_scale
            self.times.append(t)
            self.values.append(values)
            self.rows.append(n)
        self.origin = origin
        if not self.times:
            raise InputError("no samples in %s: none of its %d data rows has numbers in the "
                             "columns used (first at line %d)" % (
                                 table.path, len(table.rows), first_bad))
        if skipped:
            warn("%s: skipped %d row(s) with missing or non-numeric values (first at line %d)"
                 % (table.path, skipped, first_bad))


# ---- timing --------------------------------------------------------------------------

def timing(times):
    """(rate in Hz or None, even: bool, intervals not increasing, gaps) of time stamps."""
    steps = [b - a for a, b in zip(times, times[1:])]
    positive = [d for d in steps if d > 0]
    if not positive:
        return None, False, len(steps), 0
    median = statistics.median(positive)
    near = sum(1 for d in steps if abs(d - median) <= 0.25 * median)
    backwards = sum(1 for d in steps if d <= 0)
    gaps = sum(1 for d in steps if d > 1.5 * median)
    return 1.0 / median, near >= 0.9 * len(steps), backwards, gaps


def grid(start, end, rate):
    count = int(math.floor((end - start) * rate + 1e-6)) + 1
    return [start + k / rate for k in range(count)]


def held(times, at):
    """For each grid time, the index of the last sample at or before it (times sorted)."""
    return [bisect.bisect_right(times, t + 1e-9) - 1 for t in at]


def sorted_stream(stream):
    order = sorted(range(len(stream.times)), key=lambda i: stream.times[i])
    stream.times = [stream.times[i] for i in order]
    stream.values = [stream.values[i] for i in order]
    stream.rows = [stream.rows[i] for i in order]
    return stream


# ---- the command ---------------------------------------------------------------------

def parse_args(argv):
    p = argparse.ArgumentParser(
        prog="kinrec-import.py", description=DESCRIPTION, epilog=EXAMPLES,
        formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("input", nargs="?", metavar="INPUT",
                   help="one file with time, acceleration and angular rate")
    p.add_argument("-o", "--output", required=True, metavar="FILE",
                   help="the physical CSV to write (replaced if it exists)")
    p.add_argument("--acc-file", metavar="FILE", help="accelerometer file (with --gyro-file)")
    p.add_argument("--gyro-file", metavar="FILE", help="gyroscope file (with --acc-file)")
    p.add_argument("--delimiter", type=delimiter_option, metavar="C",
                   help="field delimiter: a character or tab, space, comma, semicolon, "
                        "pipe (default: detected among , ; tab |)")
    p.add_argument("--time-col", metavar="COL",
                   help="time column: header name or 1-based position")
    p.add_argument("--acc-cols", metavar="X,Y,Z",
                   help="acceleration columns: three names or 1-based positions")
    p.add_argument("--gyro-cols", metavar="X,Y,Z",
                   help="angular rate columns: three names or 1-based positions")
    p.add_argument("--acc-unit", type=unit_option(ACC_UNITS, "acceleration"),
                   metavar="U", help="g, m/s^2 or mg (default: from the header)")
    p.add_argument("--gyro-unit", type=unit_option(GYRO_UNITS, "angular rate"),
                   metavar="U", help="deg/s or rad/s (default: from the header)")
    p.add_argument("--time-unit", type=unit_option(TIME_UNITS, "time"),
                   metavar="U", help="s, ms, us or ns (default: from the header)")
    p.add_argument("--source-rate", type=rate_option, metavar="HZ",
                   help="the rows are evenly spaced at HZ: time stamps are not read")
    p.add_argument("--rate", type=rate_option, metavar="HZ",
                   help="resample onto a grid of HZ, holding the last sample (default: "
                        "rows as they are for one file, 50 for two files)")
    args = p.parse_args(argv)
    merge = args.acc_file is not None or args.gyro_file is not None
    if merge and (args.acc_file is None or args.gyro_file is None):
        p.error("--acc-file and --gyro-file go together")
    if merge == (args.input is not None):
        p.error("give either INPUT or --acc-file and --gyro-file")
    if merge and args.rate is None:
        args.rate = BASE_RATE
    return args


def read_stream(path, args, sensors, bare_ok):
    table = Table(path, args.delimiter)
    columns, scales = [], []
    for sensor in sensors:
        wanted = args.acc_cols if sensor == "acc" else args.gyro_cols
        axes = find_axes(table, sensor, wanted, bare_ok)
        for index in axes:
            if sensor == "acc":
                scale = column_unit(table, index, args.acc_unit, ACC_UNITS,
                                    "acceleration", "--acc-unit")
            else:
                scale = column_unit(table, index, args.gyro_unit, GYRO_UNITS,
                                    "angular rate", "--gyro-unit")
            columns.append(index)
            scales.append(scale)
    time_index, time_scale = None, None
    if args.source_rate is None:
        time_index = find_time(table, args.time_col)
        time_scale = column_unit(table, time_index, args.time_unit, TIME_UNITS,
                                 "time", "--time-unit")
    stream = Stream(table, time_index, time_scale, args.source_rate, columns)
    stream.values = [[v * s for v, s in zip(vals, scales)] for vals in stream.values]
    stream.scale = time_scale
    return stream


def build(args):
    """The rows to write as (time_s, source_row, six values), and the output rate note."""
    if args.input is not None:
        stream = read_stream(args.input, args, ("acc", "gyr"), False)
        if args.rate is None:
            return list(zip(stream.times, stream.rows, stream.values)), stream.times
        stream = sorted_stream(stream)
        at = grid(stream.times[0], stream.times[-1], args.rate)
        picks = held(stream.times, at)
        rows = [(t - at[0], stream.rows[i], stream.values[i]) for t, i in zip(at, picks)]
        return rows, None
    acc = sorted_stream(read_stream(args.acc_file, args, ("acc",), True))
    gyro = sorted_stream(read_stream(args.gyro_file, args, ("gyr",), True))
    if args.source_rate is None:
        # Put the gyroscope times on the accelerometer file's clock.
        if acc.scale == gyro.scale:
            shift = (gyro.origin - acc.origin) * acc.scale
        else:
            shift = gyro.origin * gyro.scale - acc.origin * acc.scale
        gyro.times = [t + shift for t in gyro.times]
    start = max(acc.times[0], gyro.times[0])
    end = min(acc.times[-1], gyro.times[-1])
    if end < start:
        raise InputError("%s and %s do not overlap in time" % (args.acc_file, args.gyro_file))
    at = grid(start, end, args.rate)
    rows = [(t - start, acc.rows[i], acc.values[i] + gyro.values[j])
            for t, i, j in zip(at, held(acc.times, at), held(gyro.times, at))]
    return rows, None


def format_value(v):
    text = "%.10g" % v
    return "0" if text == "-0" else text


def write_rows(path, rows):
    with open(path, "w", encoding="ascii", newline="") as f:
        f.write(HEADER + "\n")
        for t, source_row, values in rows:
            f.write("%.6f,%d,%s\n" % (t, source_row, ",".join(format_value(v) for v in values)))


def wrapping(rows):
    """Counts and largest magnitudes of values that leave kinrec's 16-bit counts."""
    acc_n = gyro_n = 0
    acc_max = gyro_max = 0.0
    for _, _, v in rows:
        for x in v[:3]:
            if not -32768 <= int(x * COUNTS_PER_G) <= 32767:
                acc_n += 1
                acc_max = max(acc_max, abs(x))
        for x in v[3:]:
            if not -32768 <= int(x * COUNTS_PER_DPS) <= 32767:
                gyro_n += 1
                gyro_max = max(gyro_max, abs(x))
    return acc_n, acc_max, gyro_n, gyro_max


def cnf_lines(output, count, rate, even):
    """The kinrec.cnf lines for the written file."""
    lines = ["# %s: %d samples at %s" % (output, count, "%.4g Hz" % rate if rate else
                                          "an unknown rate")]
    lines.append("FILETYPE 2")
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


def same_file(a, b):
    try:
        return os.path.samefile(a, b)
    except OSError:
        return os.path.abspath(a) == os.path.abspath(b)


def main(argv=None):
    args = parse_args(argv)
    try:
        sources = [args.input] if args.input is not None else [args.acc_file, args.gyro_file]
        if any(same_file(s, args.output) for s in sources):
            raise InputError("the output %s would replace an input" % args.output)
        rows, times = build(args)
        if times is None:
            rate, even = args.rate, True
        else:
            rate, even, backwards, gaps = timing(times)
            if backwards:
                note("%d time stamp(s) repeat or go back; --rate 50 puts the samples on a "
                     "time grid" % backwards)
            if gaps:
                note("%d gap(s) longer than 1.5 sample intervals (dropped samples?); "
                     "--rate 50 fills them with the last sample" % gaps)
            if rate is not None and not 1.0 <= rate <= 10000.0:
                warn("a rate of %.4g Hz looks wrong: check --time-unit" % rate)
        acc_n, acc_max, gyro_n, gyro_max = wrapping(rows)
        if acc_n:
            warn("%d acceleration value(s) beyond +-4 g (largest %.3g g) wrap around in "
                 "kinrec; written unchanged" % (acc_n, acc_max))
        if gyro_n:
            warn("%d angular rate value(s) beyond +-500 deg/s (largest %.4g deg/s) wrap "
                 "around in kinrec; written unchanged" % (gyro_n, gyro_max))
        try:
            write_rows(args.output, rows)
        except OSError as e:
            raise InputError("cannot write %s: %s" % (args.output, e.strerror or e)) from None
    except InputError as e:
        print("kinrec-import: error: %s" % e, file=sys.stderr)
        return 1
    for line in cnf_lines(args.output, len(rows), rate, even):
        print(line)
    return 0


if __name__ == "__main__":
    sys.exit(main())
