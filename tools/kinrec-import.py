#!/usr/bin/env python3
"""Writes an IMU recording as a kinrec physical CSV (FILETYPE 2).

Run with --help for the options, the units understood and what is printed.
Standard library only.
"""

import argparse
import bisect
import csv
import datetime
import math
import os
import re
import statistics
import sys

STANDARD_GRAVITY = 9.80665  # m/s^2 per g

# Canonical unit name -> factor to kinrec's physical units (g, deg/s, s).
# "counts" has no fixed factor: the data set's counts per unit come with --acc-scale or
# --gyro-scale.
ACC_UNITS = {"g": 1.0, "m/s^2": 1.0 / STANDARD_GRAVITY, "mg": 0.001, "counts": None}
GYRO_UNITS = {"deg/s": 1.0, "rad/s": 180.0 / math.pi, "counts": None}
TIME_UNITS = {"s": 1.0, "ms": 1e-3, "us": 1e-6, "ns": 1e-9}
UNIT_ALIASES = {
    "m/s2": "m/s^2", "m/s\u00b2": "m/s^2", "ms^-2": "m/s^2", "m/s/s": "m/s^2", "mps2": "m/s^2",
    "dps": "deg/s", "\u00b0/s": "deg/s", "degree/s": "deg/s", "degrees/s": "deg/s",
    "rad/sec": "rad/s", "deg/sec": "deg/s",
    "count": "counts", "lsb": "counts", "raw": "counts",
    "sec": "s", "msec": "ms", "\u00b5s": "us", "\u03bcs": "us", "usec": "us", "nsec": "ns",
}
# Lines whose first field begins with one of these are comments.
COMMENT_MARKS = ("#", "%")
# Input files taken from a folder.
INPUT_SUFFIXES = (".csv", ".txt", ".tsv", ".dat")
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
are then held. Exit status 0 on success, 1 on bad input, 2 on bad options."""

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
      trial.csv -o run/trial.csv"""


class InputError(Exception):
    """Bad input: reported on standard error with exit status 1."""


def warn(where, text):
    print("kinrec-import: warning: %s: %s" % (where, text), file=sys.stderr)


def note(where, text):
    print("kinrec-import: note: %s: %s" % (where, text), file=sys.stderr)


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


# ---- reading -------------------------------------------------------------------------

def is_comment(line):
    return line.lstrip().startswith(COMMENT_MARKS)


def strip_terminators(lines):
    """Lines without a ';' that ends every comma-separated data line ("1,2,3;")."""
    data = [line.rstrip() for line in lines if line.strip() and not is_comment(line)]
    if data and all(line.endswith(";") and "," in line for line in data):
        return [line.rstrip()[:-1] if line.strip() and not is_comment(line) else line
                for line in lines]
    return lines


class Table:
    """A delimited text file: header names (or None) and data rows with line numbers."""

    def __init__(self, path, delimiter, no_header=False):
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
        lines = text.splitlines()
        if delimiter in (None, ","):
            lines = strip_terminators(lines)
        self.delimiter = delimiter or sniff_delimiter(
            [line for line in lines if not is_comment(line)])
        self.decimal_comma = self.delimiter != ","
        reader = csv.reader(lines, delimiter=self.delimiter, skipinitialspace=True)
        rows = []
        for fields in reader:
            if not fields or not "".join(fields).strip() or is_comment(fields[0]):
                continue
            rows.append((reader.line_num, [x.strip() for x in fields]))
        if not rows:
            raise InputError("%s has no lines other than comments" % path)
        if no_header or self.first_row_is_data(rows):
            self.names = None
            self.rows = rows
        else:
            self.names = rows[0][1]
            self.rows = rows[1:]
        if not self.rows:
            raise InputError("%s has a header but no samples" % path)

    def first_row_is_data(self, rows):
        """Whether the first row is a sample: all numbers, or numbers in every column
        where the second row has one (a date-time or a trailing word is no header)."""
        first = rows[0][1]
        if all(self.number(x) is not None for x in first):
            return True
        if len(rows) < 2 or len(rows[1][1]) != len(first):
            return False
        numeric = [i for i, x in enumerate(rows[1][1]) if self.number(x) is not None]
        return bool(numeric) and all(self.number(first[i]) is not None for i in numeric)

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


def sniff_delimiter(lines):
    """The field delimiter among , ; tab | judged from the first lines."""
    sample = "\n".join(lines[:200])
    try:
        return csv.Sniffer().sniff(sample, delimiters=",;\t|").delimiter
    except csv.Error:
        first = lines[0] if lines else ""
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
    """(index, sign) of the x, y, z columns of one sensor; a column given with a leading
    '-' is negated."""
    role = {"acc": "acceleration", "gyr": "angular rate"}[sensor]
    option = "--acc-cols" if sensor == "acc" else "--gyro-cols"
    if wanted:
        parts = [p.strip() for p in wanted.split(",")]
        if len(parts) != 3:
            raise InputError("%s takes three columns (x,y,z), not '%s'" % (option, wanted))
        return [(table.column(p[1:], role), -1.0) if p.startswith("-") else
                (table.column(p, role), 1.0) for p in parts]
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
        found.append((hits[0], 1.0))
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


def unit_factor(name, units, scale, what, scale_option, where):
    """The factor of a canonical unit; counts take theirs from the scale option."""
    if units[name] is not None:
        if scale is not None:
            raise InputError("%s is for counts, but the %s unit of %s is %s" % (
                scale_option, what, where, name))
        return units[name]
    if scale is None:
        raise InputError("%s counts of %s need %s (counts per %s)" % (
            what, where, scale_option, "g" if units is ACC_UNITS else "deg/s"))
    return 1.0 / scale


def column_unit(table, index, given, units, what, option, scale=None, scale_option=None):
    if given:
        return unit_factor(given, units, scale, what, scale_option, table.path)
    text = table.header_unit(index)
    if text is None:
        raise InputError("the %s unit of %s is not in its header; give %s (%s)" % (
            what, table.path, option, ", ".join(units)))
    name = canonical_unit(text, units, what, " in column '%s' of %s; give %s" % (
        table.names[index], table.path, option))
    return unit_factor(name, units, scale, what, scale_option, table.path)


def parse_date_time(text):
    """A date and time ("2023-03-15 14:20:00.123", "2023/03/15T14:20:00Z"), or None."""
    if not re.match(r"\d{4}[-/]\d\d[-/]\d\d", text):
        return None
    try:
        return datetime.datetime.fromisoformat(text[:4] + "-" + text[5:7] + "-" + text[8:])
    except ValueError:
        return None


def parse_time(text, table, dated):
    """A time stamp: a date-time when the column holds them, else int when it is one
    (exact for ns Unix stamps), else float."""
    if dated:
        return parse_date_time(text)
    if re.fullmatch(r"[+-]?\d+", text):
        return int(text)
    return table.number(text)


def elapsed(stamp, origin, scale):
    """Seconds from origin to stamp: date-times, or numbers in units of scale seconds."""
    if isinstance(stamp, datetime.datetime):
        return (stamp - origin).total_seconds()
    return (stamp - origin) * scale


class Filter:
    """COLUMN=VALUE conditions on a table's rows; numbers compare by value."""

    def __init__(self, table, conditions):
        self.table = table
        self.text = " ".join("%s=%s" % c for c in conditions)
        self.tests = [(table.column(c, "filter"), v, table.number(v)) for c, v in conditions]

    def __call__(self, fields):
        for index, text, value in self.tests:
            if index >= len(fields):
                return False
            got = fields[index]
            if got != text and (value is None or self.table.number(got) != value):
                return False
        return True


class Stream:
    """Samples of one file: times in seconds from the file's first stamp, values, rows."""

    def __init__(self, table, time_index, time_scale, source_rate, columns, keep, label):
        self.label = label
        self.times, self.values, self.rows = [], [], []
        need = max(columns + ([time_index] if time_index is not None else []))
        skipped, first_bad, kept = 0, None, 0
        origin = None
        dated = time_scale is None and source_rate is None
        for n, (line, fields) in enumerate(table.rows):
            if not keep(fields):
                continue
            kept += 1
            values = None
            stamp = None
            if len(fields) > need:
                values = [table.number(fields[i]) for i in columns]
                if source_rate is None:
                    stamp = parse_time(fields[time_index], table, dated)
            if values is None or None in values or (source_rate is None and stamp is None):
                skipped += 1
                first_bad = first_bad or line
                continue
            if source_rate is not None:
                t = (kept - 1) / source_rate
            else:
                if origin is None:
                    origin = stamp
                t = elapsed(stamp, origin, time_scale)
            self.times.append(t)
            self.values.append(values)
            self.rows.append(n)
        self.origin = origin
        if not kept:
            raise InputError("no rows of %s match %s" % (table.path, keep.text))
        if not self.times:
            raise InputError("no samples in %s: none of its %d data rows has numbers in the "
                             "columns used (first at line %d)" % (
                                 label, kept, first_bad))
        if skipped:
            warn(label, "skipped %d row(s) with missing or non-numeric values (first at "
                 "line %d)" % (skipped, first_bad))


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


def held(stream, at, rate):
    """For each grid time, the index of the last sample at or before it (times sorted);
    says so when the stream is slower than the grid, so that values are held."""
    source_rate = timing(stream.times)[0]
    if source_rate is not None and source_rate < 0.9 * rate:
        note(stream.label, "about %.4g Hz, slower than the %.4g Hz grid: each value is held "
             "for about %.2g grid steps" % (source_rate, rate, rate / source_rate))
    return [bisect.bisect_right(stream.times, t + 1e-9) - 1 for t in at]


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
    args = p.parse_args(argv)
    pair = args.acc_file is not None or args.gyro_file is not None
    if pair and (args.acc_file is None or args.gyro_file is None):
        p.error("--acc-file and --gyro-file go together")
    if pair == bool(args.inputs):
        p.error("give either INPUT or --acc-file and --gyro-file")
    if (args.output is None) == (args.out_dir is None):
        p.error("give -o FILE, or --out-dir DIR")
    for unit, scale, option in ((args.acc_unit, args.acc_scale, "--acc"),
                                (args.gyro_unit, args.gyro_scale, "--gyro")):
        if scale is not None and unit not in (None, "counts"):
            p.error("%s-scale goes with %s-unit counts" % (option, option))
    args.split = pair or bool(args.acc_where or args.gyro_where)
    if args.split and args.rate is None:
        args.rate = BASE_RATE
    try:
        args.jobs = jobs(args)
    except InputError as e:
        p.error(str(e))
    return args


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
            acc, gyro = folder_files(args.acc_file), folder_files(args.gyro_file)
            for name, there, missing in ((n, args.acc_file, args.gyro_file) for n in acc
                                         if n not in gyro):
                warn(os.path.join(there, name), "no file of that name in %s; left out" % missing)
            for name in (n for n in gyro if n not in acc):
                warn(os.path.join(args.gyro_file, name),
                     "no file of that name in %s; left out" % args.acc_file)
            sources = [(os.path.join(args.acc_file, n), os.path.join(args.gyro_file, n))
                       for n in acc if n in gyro]
            if not sources:
                raise InputError("%s and %s have no file names in common" % (
                    args.acc_file, args.gyro_file))
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


def read_stream(table, args, sensors, bare_ok, conditions, label):
    columns, scales = [], []
    for sensor in sensors:
        wanted = args.acc_cols if sensor == "acc" else args.gyro_cols
        for index, sign in find_axes(table, sensor, wanted, bare_ok):
            if sensor == "acc":
                scale = column_unit(table, index, args.acc_unit, ACC_UNITS, "acceleration",
                                    "--acc-unit", args.acc_scale, "--acc-scale")
            else:
                scale = column_unit(table, index, args.gyro_unit, GYRO_UNITS, "angular rate",
                                    "--gyro-unit", args.gyro_scale, "--gyro-scale")
            columns.append(index)
            scales.append(scale * sign)
    keep = Filter(table, conditions)
    time_index, time_scale = None, None
    if args.source_rate is None:
        time_index = find_time(table, args.time_col)
        first = next((f[time_index] for _, f in table.rows if len(f) > time_index and keep(f)),
                     "")
        if table.number(first) is None and parse_date_time(first) is not None:
            time_scale = None  # date-times: seconds whatever --time-unit says
        else:
            time_scale = column_unit(table, time_index, args.time_unit, TIME_UNITS,
                                     "time", "--time-unit")
    stream = Stream(table, time_index, time_scale, args.source_rate, columns, keep, label)
    stream.values = [[v * s for v, s in zip(vals, scales)] for vals in stream.values]
    stream.scale = time_scale
    return stream


def merge(acc, gyro, args, where):
    """Two streams on one grid over the time span both cover."""
    acc, gyro = sorted_stream(acc), sorted_stream(gyro)
    if args.source_rate is None:
        # Put the gyroscope times on the accelerometer's clock.
        if (acc.scale is None) != (gyro.scale is None):
            raise InputError("%s and %s: one has date-time stamps, the other numbers" % (
                acc.label, gyro.label))
        if acc.scale is None or acc.scale == gyro.scale:
            shift = elapsed(gyro.origin, acc.origin, acc.scale)
        else:
            shift = gyro.origin * gyro.scale - acc.origin * acc.scale
        gyro.times = [t + shift for t in gyro.times]
    start = max(acc.times[0], gyro.times[0])
    end = min(acc.times[-1], gyro.times[-1])
    if end < start:
        raise InputError("%s and %s do not overlap in time" % (acc.label, gyro.label))
    first = "accelerometer" if acc.times[0] < gyro.times[0] else "gyroscope"
    last = "accelerometer" if acc.times[-1] > gyro.times[-1] else "gyroscope"
    lost_start = start - min(acc.times[0], gyro.times[0])
    lost_end = max(acc.times[-1], gyro.times[-1]) - end
    if lost_start > 0 or lost_end > 0:
        note(where, "trimmed to the time span both sensors cover: %.3f s lost at the start "
             "(%s only), %.3f s at the end (%s only)" % (lost_start, first, lost_end, last))
    at = grid(start, end, args.rate)
    return [(t - start, acc.rows[i], acc.values[i] + gyro.values[j])
            for t, i, j in zip(at, held(acc, at, args.rate), held(gyro, at, args.rate))]


def build(sources, args):
    """The rows to write as (time_s, source_row, six values), and the times of the rows
    when they are the source's own (None when on a grid)."""
    if not args.split:
        table = Table(sources[0], args.delimiter, args.no_header)
        stream = read_stream(table, args, ("acc", "gyr"), False, args.where, sources[0])
        if args.rate is None:
            return list(zip(stream.times, stream.rows, stream.values)), stream.times
        stream = sorted_stream(stream)
        at = grid(stream.times[0], stream.times[-1], args.rate)
        picks = held(stream, at, args.rate)
        return [(t - at[0], stream.rows[i], stream.values[i]) for t, i in zip(at, picks)], None
    if len(sources) == 1:
        table = Table(sources[0], args.delimiter, args.no_header)
        tables = (table, table)
        labels = ("%s (accelerometer rows)" % sources[0], "%s (gyroscope rows)" % sources[0])
    else:
        tables = [Table(s, args.delimiter, args.no_header) for s in sources]
        labels = sources
    acc = read_stream(tables[0], args, ("acc",), True, args.where + args.acc_where, labels[0])
    gyro = read_stream(tables[1], args, ("gyr",), True, args.where + args.gyro_where,
                       labels[1])
    return merge(acc, gyro, args, ", ".join(sources)), None


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


def convert(sources, output, args):
    """Writes one output; its kinrec.cnf lines."""
    label = ", ".join(sources)
    if any(same_file(s, output) for s in sources):
        raise InputError("the output %s would replace an input" % output)
    rows, times = build(sources, args)
    if times is None:
        rate, even = args.rate, True
    else:
        rate, even, backwards, gaps = timing(times)
        if backwards:
            note(label, "%d time stamp(s) repeat or go back; --rate 50 puts the samples on a "
                 "time grid" % backwards)
        if gaps:
            note(label, "%d gap(s) longer than 1.5 sample intervals (dropped samples?); "
                 "--rate 50 fills them with the last sample" % gaps)
        if rate is not None and not 1.0 <= rate <= 10000.0:
            warn(label, "a rate of %.4g Hz looks wrong: check --time-unit" % rate)
    acc_n, acc_max, gyro_n, gyro_max = wrapping(rows)
    if acc_n:
        warn(sources[0], "%d acceleration value(s) beyond +-4 g (largest %.3g g) wrap around "
             "in kinrec; written unchanged" % (acc_n, acc_max))
    if gyro_n:
        warn(sources[-1], "%d angular rate value(s) beyond +-500 deg/s (largest %.4g deg/s) "
             "wrap around in kinrec; written unchanged" % (gyro_n, gyro_max))
    try:
        write_rows(output, rows)
    except OSError as e:
        raise InputError("cannot write %s: %s" % (output, e.strerror or e)) from None
    return cnf_lines(output, len(rows), rate, even)


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
