"""Readers of inertial sensor recordings in other layouts: the part of kinrec-import.py
that reads, shared by :func:`kinrec.load` and that command line.

A recording is a delimited text file of time stamps, acceleration and angular rate, or
two such files (accelerometer and gyroscope) merged onto a fixed-rate grid over the
time span both cover. Values come out in kinrec's physical units: g and deg/s.

The readers use the standard library only (the command line runs without NumPy, even
with this file loaded by its path, outside the package); :func:`load` makes NumPy
arrays of what they read.
"""

from __future__ import annotations

import bisect
import csv
import dataclasses
import datetime
import math
import os
import re
import statistics
import warnings
from typing import (TYPE_CHECKING, Any, Callable, Dict, Iterator, List, Mapping, Optional,
                    Sequence, Tuple, Union)

if TYPE_CHECKING:  # pragma: no cover
    import numpy as np

try:
    from ._errors import KinrecWarning
except ImportError:  # loaded by path, outside the package
    KinrecWarning = UserWarning  # type: ignore[misc,assignment]

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
# Unit words that may end a column name after an underscore: "acc_x_g", "timestamp_us".
TRAILING_UNITS = {"g", "mg", "dps", "s", "ms", "us", "ns"}

BASE_RATE = 50.0  # Hz: kinrec's attitude filter steps 0.02 s per kept sample

# The columns of the physical CSV (FILETYPE 2) the command line writes.
HEADER = "time_s,source_row,acc_x_g,acc_y_g,acc_z_g,gyro_x_dps,gyro_y_dps,gyro_z_dps"


class LoadError(ValueError):
    """Input the readers cannot take, with the reason: a file that is no recording of the
    layout asked for, options that do not fit it."""


class UnreadableError(LoadError, OSError):
    """A file that cannot be read at all (missing, a folder, not text)."""


Report = Callable[[str, str, str], None]  # (kind: "warning" | "note", where, text)


def canonical_unit(text, table, what, option):
    """The canonical name of a unit, or LoadError naming the accepted ones."""
    key = text.strip().lower().replace(" ", "")
    key = UNIT_ALIASES.get(key, key)
    if key not in table:
        raise LoadError("unknown %s unit '%s'%s; use %s" % (
            what, text, option, ", ".join(table)))
    return key


def delimiter_char(text):
    """The delimiter a name or character stands for (tab, space, comma, ...)."""
    named = {"tab": "\t", "\\t": "\t", "comma": ",", "semicolon": ";", "space": " ", "pipe": "|"}
    value = named.get(text.lower(), text)
    if len(value) != 1:
        raise LoadError("a delimiter is one character (or tab, space, ...)")
    return value


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
            raise UnreadableError("cannot read %s: not a text file" % path) from None
        except OSError as e:
            raise UnreadableError("cannot read %s: %s" % (path, e.strerror or e)) from None
        if "\0" in text:
            raise UnreadableError("cannot read %s: not a text file" % path)
        if not text.strip():
            raise LoadError("%s is empty" % path)
        lines = text.splitlines()
        if delimiter in (None, ","):
            lines = strip_terminators(lines)
        self.delimiter = delimiter or sniff_delimiter(
            [line for line in lines if not is_comment(line)])
        self.decimal_comma = self.delimiter != ","
        reader = csv.reader(lines, delimiter=self.delimiter, skipinitialspace=True)
        rows = []
        try:
            for fields in reader:
                if not fields or not "".join(fields).strip() or is_comment(fields[0]):
                    continue
                rows.append((reader.line_num, [x.strip() for x in fields]))
        except csv.Error as e:
            # A field longer than the csv module takes, or a quote that never closes.
            raise LoadError("%s line %d: %s; not a recording's line" % (
                path, reader.line_num, e)) from None
        if not rows:
            raise LoadError("%s has no lines other than comments" % path)
        if no_header or self.first_row_is_data(rows):
            self.names = None
            self.rows = rows
        else:
            self.names = rows[0][1]
            self.rows = rows[1:]
        if not self.rows:
            raise LoadError("%s has a header but no samples" % path)

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
                raise LoadError("%s column %s is beyond the %d columns of %s" % (
                    role, wanted, width, self.path))
            return index
        if self.names is None:
            raise LoadError("%s has no header line: give the %s column by position (1, 2, ...)"
                            % (self.path, role))
        for exact in (True, False):
            for i, name in enumerate(self.names):
                if name == wanted if exact else name.lower() == wanted.lower():
                    return i
        raise LoadError("%s column '%s' not found in %s (its columns: %s)" % (
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
            raise LoadError("%s takes three columns (x,y,z), not '%s'" % (option, wanted))
        return [(table.column(p[1:], role), -1.0) if p.startswith("-") else
                (table.column(p, role), 1.0) for p in parts]
    if table.names is None:
        raise LoadError("%s has no header line: give %s by position, e.g. %s 2,3,4"
                        % (table.path, option, option))
    parsed = [split_name(n) for n in table.names]
    found = []
    for axis in "xyz":
        hits = [i for i, (words, _) in enumerate(parsed) if sensor_axis(words) == (sensor, axis)]
        if not hits and bare_ok:
            hits = [i for i, (words, _) in enumerate(parsed) if words == [axis]]
        if len(hits) != 1:
            how = "no" if not hits else "more than one"
            raise LoadError("%s %s column for axis %s found in %s (its columns: %s); give %s"
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
    raise LoadError("no time column found in %s; give --time-col, or --source-rate when "
                    "the rows are evenly spaced" % table.path)


def unit_factor(name, units, scale, what, scale_option, where):
    """The factor of a canonical unit; counts take theirs from the scale option."""
    if units[name] is not None:
        if scale is not None:
            raise LoadError("%s is for counts, but the %s unit of %s is %s" % (
                scale_option, what, where, name))
        return units[name]
    if scale is None:
        raise LoadError("%s counts of %s need %s (counts per %s)" % (
            what, where, scale_option, "g" if units is ACC_UNITS else "deg/s"))
    return 1.0 / scale


def column_unit(table, index, given, units, what, option, scale=None, scale_option=None):
    if given:
        return unit_factor(given, units, scale, what, scale_option, table.path)
    text = table.header_unit(index)
    if text is None:
        raise LoadError("the %s unit of %s is not in its header; give %s (%s)" % (
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

    def __init__(self, table, time_index, time_scale, source_rate, columns, keep, label,
                 report):
        self.label = label
        self.times, self.values, self.rows = [], [], []
        need = max(columns + ([time_index] if time_index is not None else []))
        skipped, first_bad, why, kept = 0, None, "", 0
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
                if first_bad is None:
                    first_bad, why = line, self.fault(fields, columns, values, time_index, need)
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
        self.lines = [table.rows[n][0] for n in self.rows]
        if not kept:
            raise LoadError("no rows of %s match %s" % (table.path, keep.text))
        if not self.times:
            raise LoadError("no samples in %s: none of its %d data rows has numbers in the "
                            "columns used (first at line %d%s)" % (label, kept, first_bad, why))
        if skipped:
            report("warning", label, "skipped %d row(s) with missing or non-numeric values "
                   "(first at line %d)" % (skipped, first_bad))

    @staticmethod
    def fault(fields, columns, values, time_index, need):
        """What is wrong with a row that gives no sample: its first column used that holds
        no number (a date-time where numbers are wanted, a word), or too few fields."""
        if values is None:
            return ": %d field(s), column %d wanted" % (len(fields), need + 1)
        bad = [i for i, v in zip(columns, values) if v is None]
        index = bad[0] if bad else time_index
        return ": column %d holds '%s'" % (index + 1, fields[index])


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


def grid(start, end, rate, streams=()):
    """The times of a grid at rate from start to end. A grid far longer than the samples
    behind it comes of a stamp out of place (a year instead of a second): LoadError
    naming the line of the widest step of the streams, before any of it is made."""
    count = int(math.floor((end - start) * rate + 1e-6)) + 1
    samples = sum(len(s.times) for s in streams)
    if streams and count > max(GRID_LIMIT, GRID_PER_SAMPLE * samples):
        step, line, label = max(
            (b - a, s.lines[s.order[i + 1]], s.label)
            for s in streams for i, (a, b) in enumerate(zip(s.times, s.times[1:])))
        raise LoadError("%s line %d: its time stamp is %.6g s after the one before it, so a "
                        "%.4g Hz grid would hold %d samples for %d read; a stamp out of place "
                        "or the wrong --time-unit?" % (label, line, step, rate, count, samples))
    return [start + k / rate for k in range(count)]


# A grid may hold this many samples in any case, and this many per sample read (a slow
# stream's values are held on a faster grid).
GRID_LIMIT = 1000000
GRID_PER_SAMPLE = 1000


def held(stream, at, rate, report):
    """For each grid time, the index of the last sample at or before it (times sorted);
    says so when the stream is slower than the grid, so that values are held."""
    source_rate = timing(stream.times)[0]
    if source_rate is not None and source_rate < 0.9 * rate:
        report("note", stream.label, "about %.4g Hz, slower than the %.4g Hz grid: each value "
               "is held for about %.2g grid steps" % (source_rate, rate, rate / source_rate))
    return [bisect.bisect_right(stream.times, t + 1e-9) - 1 for t in at]


def sorted_stream(stream):
    order = sorted(range(len(stream.times)), key=lambda i: stream.times[i])
    stream.times = [stream.times[i] for i in order]
    stream.values = [stream.values[i] for i in order]
    stream.rows = [stream.rows[i] for i in order]
    stream.order = order  # the sorted samples' places in stream.lines
    return stream



# ---- streams to rows -----------------------------------------------------------------

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
    stream = Stream(table, time_index, time_scale, args.source_rate, columns, keep, label,
                    args.report)
    stream.values = [[v * s for v, s in zip(vals, scales)] for vals in stream.values]
    stream.scale = time_scale
    return stream


def merge(acc, gyro, args, where):
    """Two streams on one grid over the time span both cover."""
    acc, gyro = sorted_stream(acc), sorted_stream(gyro)
    if args.source_rate is None:
        # Put the gyroscope times on the accelerometer's clock.
        if (acc.scale is None) != (gyro.scale is None):
            raise LoadError("%s and %s: one has date-time stamps, the other numbers" % (
                acc.label, gyro.label))
        if acc.scale is None or acc.scale == gyro.scale:
            shift = elapsed(gyro.origin, acc.origin, acc.scale)
        else:
            shift = gyro.origin * gyro.scale - acc.origin * acc.scale
        gyro.times = [t + shift for t in gyro.times]
    start = max(acc.times[0], gyro.times[0])
    end = min(acc.times[-1], gyro.times[-1])
    if end < start:
        raise LoadError("%s and %s do not overlap in time" % (acc.label, gyro.label))
    first = "accelerometer" if acc.times[0] < gyro.times[0] else "gyroscope"
    last = "accelerometer" if acc.times[-1] > gyro.times[-1] else "gyroscope"
    lost_start = start - min(acc.times[0], gyro.times[0])
    lost_end = max(acc.times[-1], gyro.times[-1]) - end
    if lost_start > 0 or lost_end > 0:
        args.report("note", where, "trimmed to the time span both sensors cover: %.3f s lost "
                    "at the start (%s only), %.3f s at the end (%s only)" % (
                        lost_start, first, lost_end, last))
    at = grid(start, end, args.rate, (acc, gyro))
    return [(t - start, acc.rows[i], acc.values[i] + gyro.values[j])
            for t, i, j in zip(at, held(acc, at, args.rate, args.report),
                                   held(gyro, at, args.rate, args.report))]


def build(sources, args):
    """The rows to write as (time_s, source_row, six values), and the times of the rows
    when they are the source's own (None when on a grid)."""
    if not args.split:
        table = Table(sources[0], args.delimiter, args.no_header)
        stream = read_stream(table, args, ("acc", "gyr"), False, args.where, sources[0])
        if args.rate is None:
            return list(zip(stream.times, stream.rows, stream.values)), stream.times
        stream = sorted_stream(stream)
        at = grid(stream.times[0], stream.times[-1], args.rate, (stream,))
        picks = held(stream, at, args.rate, args.report)
        return [(t - at[0], stream.rows[i], stream.values[i]) for t, i in zip(at, picks)], None
    if len(sources) == 1:
        table = Table(sources[0], args.delimiter, args.no_header)
        tables = (table, table)
        labels = ("%s (accelerometer rows)" % sources[0], "%s (gyroscope rows)" % sources[0])
    else:
        if same_file(sources[0], sources[1]):
            raise LoadError("%s is given as both the accelerometer's and the gyroscope's "
                            "file: give each sensor's own" % sources[0])
        tables = [Table(s, args.delimiter, args.no_header) for s in sources]
        labels = sources
    acc = read_stream(tables[0], args, ("acc",), True, args.where + args.acc_where, labels[0])
    gyro = read_stream(tables[1], args, ("gyr",), True, args.where + args.gyro_where,
                       labels[1])
    return merge(acc, gyro, args, ", ".join(sources)), None


def same_file(a, b):
    """Whether two names stand for one file (False when either cannot be looked at)."""
    try:
        return os.path.samefile(a, b)
    except OSError:
        return False


def format_value(v):
    text = "%.10g" % v
    return "0" if text == "-0" else text




def settle_timing(times, label, args):
    """(rate in Hz or None, even) of the rows build() gave: the grid's when on one, else
    the time stamps' own, noting stamps that go back, gaps and an unlikely rate."""
    if times is None:
        return args.rate, True
    rate, even, backwards, gaps = timing(times)
    if backwards:
        args.report("note", label, "%d time stamp(s) repeat or go back; --rate 50 puts the "
                    "samples on a time grid" % backwards)
    if gaps:
        args.report("note", label, "%d gap(s) longer than 1.5 sample intervals (dropped "
                    "samples?); --rate 50 fills them with the last sample" % gaps)
    if rate is not None and not 1.0 <= rate <= 10000.0:
        args.report("warning", label, "a rate of %.4g Hz looks wrong: check --time-unit" % rate)
    return rate, even


# ---- options and data-set layouts ----------------------------------------------------

@dataclasses.dataclass
class Options:
    """How to read a recording: the command line's options, by the same names."""

    delimiter: Optional[str] = None
    no_header: bool = False
    time_col: Optional[str] = None
    acc_cols: Optional[str] = None
    gyro_cols: Optional[str] = None
    acc_unit: Optional[str] = None
    gyro_unit: Optional[str] = None
    acc_scale: Optional[float] = None
    gyro_scale: Optional[float] = None
    time_unit: Optional[str] = None
    where: List[Tuple[str, str]] = dataclasses.field(default_factory=list)
    acc_where: List[Tuple[str, str]] = dataclasses.field(default_factory=list)
    gyro_where: List[Tuple[str, str]] = dataclasses.field(default_factory=list)
    source_rate: Optional[float] = None
    rate: Optional[float] = None
    split: bool = False  # two streams: two files, or one file's rows tagged by sensor
    report: Report = lambda kind, where, text: None


# The published layouts of fall data sets: the options that read them. Options given
# as well take the place of a layout's.
LAYOUTS: Dict[str, Dict[str, Any]] = {
    # A folder of header-less .txt files at 200 Hz, no time column, nine counts a line
    # ending in ';': an ADXL345 accelerometer (256 counts per g), an ITG3200 gyroscope
    # (16.384 counts per deg/s: the data set's readme gives (2*2000/2^16)*count deg/s),
    # a second accelerometer (left out).
    "sisfall": dict(no_header=True, acc_cols="1,2,3", gyro_cols="4,5,6", acc_unit="counts",
                    acc_scale=256.0, gyro_unit="counts", gyro_scale=16.384,
                    source_rate=200.0),
    # Accelerometer and gyroscope files of the same names in two folders, header-less
    # lines "epoch ms,ISO date-time,elapsed s,x,y,z" in g and deg/s; the elapsed seconds
    # start at 0 in each file, so the epoch milliseconds put the two on one clock.
    "smartfallmm": dict(no_header=True, time_col="1", time_unit="ms", acc_cols="4,5,6",
                        gyro_cols="4,5,6", acc_unit="g", gyro_unit="deg/s"),
    # One ';'-separated file, '%' comment lines, rows "ms;sample;x;y;z;sensor type;
    # sensor id" (type 0 accelerometer in g, 1 gyroscope in deg/s, 2 magnetometer):
    # sensor 4's rows unless where= (--where) names another.
    "umafall": dict(no_header=True, time_col="1", time_unit="ms", acc_cols="3,4,5",
                    gyro_cols="3,4,5", acc_unit="g", gyro_unit="deg/s",
                    where=[("7", "4")], acc_where=[("6", "0")], gyro_where=[("6", "1")]),
}
TWO_FILE_LAYOUTS = ("smartfallmm",)


def layout_name(text):
    key = text.strip().lower()
    if key not in LAYOUTS:
        raise LoadError("unknown layout '%s'; use %s" % (text, ", ".join(LAYOUTS)))
    return key


def apply_layout(options, name):
    """Fills the options a data set's layout sets where none is given."""
    for key, value in LAYOUTS[name].items():
        if getattr(options, key) in (None, [], False):
            setattr(options, key, list(value) if isinstance(value, list) else value)


# ---- from Python ---------------------------------------------------------------------

PathLike = Union[str, "os.PathLike[str]"]
Column = Union[int, str]
Columns = Union[str, Sequence[Column]]
Conditions = Union[Mapping[Column, Any], Sequence[Tuple[Column, Any]]]

_OPTION = re.compile(r"--([a-z]+(?:-[a-z]+)*)(?: (\d[\d.,]*))?")


def python_words(text: str) -> str:
    """A message of the readers with their command-line options as load()'s keywords:
    "--rate 50" becomes "rate=50", "--time-unit" "time_unit"."""
    def keyword(m: "re.Match[str]") -> str:
        name = m.group(1).replace("-", "_")
        name = {"acc_file": "acc", "gyro_file": "gyro"}.get(name, name)
        return name + ("=" + m.group(2) if m.group(2) else "")
    return _OPTION.sub(keyword, text)


def _column(name: str, value: Column, signed: bool = False) -> str:
    if isinstance(value, bool) or not isinstance(value, (int, str)):
        raise TypeError("%s takes column names (str) or 1-based positions (int), not %s" % (
            name, type(value).__name__))
    if isinstance(value, str):
        return value
    if value == 0 or (value < 0 and not signed):
        raise ValueError("%s: column positions count from 1, not %d" % (name, value))
    return str(value)


def _columns(name: str, value: Optional[Columns]) -> Optional[str]:
    """Three columns as the command line gives them: "4,5,6", "-4,3,2" (x negated)."""
    if value is None or isinstance(value, str):
        return value
    parts = list(value)
    if len(parts) != 3:
        raise ValueError("%s takes three columns (x, y, z), not %d" % (name, len(parts)))
    return ",".join(_column(name, p, signed=True) for p in parts)


def _conditions(name: str, value: Optional[Conditions]) -> List[Tuple[str, str]]:
    if value is None:
        return []
    pairs = list(value.items()) if isinstance(value, Mapping) else list(value)
    result = []
    for pair in pairs:
        if not isinstance(pair, (tuple, list)) or len(pair) != 2:
            raise ValueError("%s takes {column: value} or (column, value) pairs, not %r" % (
                name, pair))
        result.append((_column(name, pair[0]).strip(), str(pair[1]).strip()))
    return result


def _positive(name: str, value: Optional[float]) -> Optional[float]:
    if value is None:
        return None
    try:
        number = float(value)
    except (TypeError, ValueError):
        raise TypeError("%s must be a number, not %s" % (name, type(value).__name__)) from None
    if not (math.isfinite(number) and number > 0):
        raise ValueError("%s must be a positive number, not %r" % (name, value))
    return number


def _unit(name: str, value: Optional[str], table: Mapping[str, Any], what: str) -> Optional[str]:
    if value is None:
        return None
    if not isinstance(value, str):
        raise TypeError("%s must be a str, not %s" % (name, type(value).__name__))
    return canonical_unit(value, table, what, "")


class Recording:
    """A recording :func:`load` read: acceleration in g and angular rate in deg/s.

    Unpacks as ``acc, gyro, rate``, what :func:`kinrec.features` takes with
    ``acc_unit="g", gyro_unit="deg/s", rate=rate``.

    acc, gyro: float64 arrays of shape (N, 3), columns x, y, z.
    rate: [Hz] the rate of the samples when evenly spaced (the grid's, when put on one),
        else None (with a KinrecWarning saying why).
    time: float64 (N,): seconds from the first sample.
    source_row: int64 (N,): the 0-based data row of the file each sample came from (of
        the accelerometer's, for two streams).
    source: the file or files read, joined by ", ".
    """

    __slots__ = ("acc", "gyro", "rate", "time", "source_row", "source")

    def __init__(self, acc: "np.ndarray", gyro: "np.ndarray", rate: Optional[float],
                 time: "np.ndarray", source_row: "np.ndarray", source: str) -> None:
        self.acc, self.gyro, self.rate = acc, gyro, rate
        self.time, self.source_row, self.source = time, source_row, source

    def __iter__(self) -> Iterator[Any]:
        return iter((self.acc, self.gyro, self.rate))

    def __repr__(self) -> str:
        rate = "an uneven rate" if self.rate is None else "%.4g Hz" % self.rate
        return "<kinrec.Recording %s: %d samples at %s>" % (self.source, len(self.acc), rate)

    def to_frame(self) -> Any:
        """The samples as a pandas DataFrame with the columns of the importer's physical
        CSV (time_s, source_row, acc_x_g ... gyro_z_dps); ``attrs["rate"]`` holds rate."""
        import numpy as np
        import pandas as pd

        names = HEADER.split(",")
        frame = pd.DataFrame(dict(zip(names, [self.time, self.source_row]
                                      + list(np.hstack([self.acc, self.gyro]).T))))
        frame.attrs["rate"] = self.rate
        return frame


def load(
    path: Optional[PathLike] = None,
    *,
    acc: Optional[PathLike] = None,
    gyro: Optional[PathLike] = None,
    layout: Optional[str] = None,
    time_col: Optional[Column] = None,
    acc_cols: Optional[Columns] = None,
    gyro_cols: Optional[Columns] = None,
    acc_unit: Optional[str] = None,
    gyro_unit: Optional[str] = None,
    acc_scale: Optional[float] = None,
    gyro_scale: Optional[float] = None,
    time_unit: Optional[str] = None,
    where: Optional[Conditions] = None,
    acc_where: Optional[Conditions] = None,
    gyro_where: Optional[Conditions] = None,
    source_rate: Optional[float] = None,
    rate: Optional[float] = None,
    delimiter: Optional[str] = None,
    no_header: bool = False,
) -> Recording:
    """Reads a recording of another layout: acceleration in g, angular rate in deg/s.

    The same readers as ``tools/kinrec-import.py`` with the same options (as keywords),
    so that ``features(acc, gyro, acc_unit="g", gyro_unit="deg/s", rate=rate)`` gives
    the integers kinrec gives for the physical CSV that command writes, with the
    kinrec.cnf lines it prints.

    path: one file of time stamps, acceleration and angular rate (columns found by their
        header names, or given), or a file whose rows are tagged by sensor (acc_where=
        and gyro_where= choose each sensor's rows; the two are merged as two files are).
    acc, gyro: instead of path, an accelerometer and a gyroscope file, each with its own
        time stamps, merged onto a grid of rate Hz (default 50) over the span both cover.
    layout: a data set's published layout, setting the options that read it (options
        given as well take their place): "sisfall" (one .txt file of counts at 200 Hz),
        "smartfallmm" (acc= and gyro= files of the same name from its two folders;
        columns and acceleration unit judged from the files), "umafall" (one file; the
        waist sensor's rows, by the file's own '%' header, unless where= names another),
        "mobifall" (acc= and gyro=: its _acc_ and _gyro_ files), "fallalld" (acc= and
        gyro=: its _A.dat and _G.dat files). docs/data.md gives each layout.
    time_col: the time column, a header name or a 1-based position (as on the command
        line); time stamps may be numbers or date-times.
    acc_cols, gyro_cols: three names or 1-based positions, x, y, z; a negative
        position (or "-name") negates that axis: (-4, 3, 2), or "-4,3,2".
    acc_unit: "g", "m/s^2", "mg" or "counts" (with acc_scale, counts per g).
    gyro_unit: "deg/s", "rad/s" or "counts" (with gyro_scale, counts per deg/s).
    time_unit: "s", "ms", "us" or "ns". Units default to those a header states.
    where, acc_where, gyro_where: {column: value} conditions on the rows (all rows, the
        accelerometer's, the gyroscope's); numbers compare by value.
    source_rate: [Hz] the rows are evenly spaced at this rate; time stamps are not read.
    rate: [Hz] put the samples on a grid of this rate, holding the last sample.
    delimiter: a character or "tab", "space", ...; default: detected among , ; tab |.
    no_header: the first line is data (by default so when it holds numbers wherever the
        second line does).

    Values are converted in double precision and rounded to ten significant digits, as
    the importer writes them, so that both ways give the same counts.

    Returns a :class:`Recording` (``acc, gyro, rate = kinrec.load(...)``). What the
    importer notes or warns about on its standard error (rows skipped, seconds trimmed
    to the common span, a stream held, uneven time stamps) comes as a KinrecWarning.
    Raises LoadError (a ValueError) with the importer's reason for input it cannot
    take; for a file that cannot be read the LoadError is also an OSError.

    Example, a trial of the SmartFallMM data set (its two folders' files of one name)::

        acc, gyro, rate = kinrec.load(acc="accelerometer/S01A10T01.csv",
                                      gyro="gyroscope/S01A10T01.csv", layout="smartfallmm")
        table = kinrec.features(acc, gyro, acc_unit="g", gyro_unit="deg/s", rate=rate)
    """
    from . import _kinrec

    reports: List[Tuple[str, str, str]] = []
    try:
        if (path is None) == (acc is None and gyro is None) or (acc is None) != (gyro is None):
            raise TypeError("load() takes a path, or acc= and gyro= (two files)")
        sources = [os.fsdecode(os.fspath(p)) for p in ((path,) if path is not None
                                                      else (acc, gyro))]
        options = dict(
            delimiter=None if delimiter is None else delimiter_char(delimiter),
            no_header=bool(no_header),
            time_col=None if time_col is None else _column("time_col", time_col),
            acc_cols=_columns("acc_cols", acc_cols), gyro_cols=_columns("gyro_cols", gyro_cols),
            acc_unit=_unit("acc_unit", acc_unit, ACC_UNITS, "acceleration"),
            gyro_unit=_unit("gyro_unit", gyro_unit, GYRO_UNITS, "angular rate"),
            acc_scale=_positive("acc_scale", acc_scale),
            gyro_scale=_positive("gyro_scale", gyro_scale),
            time_unit=_unit("time_unit", time_unit, TIME_UNITS, "time"),
            where=_conditions("where", where), acc_where=_conditions("acc_where", acc_where),
            gyro_where=_conditions("gyro_where", gyro_where),
            source_rate=_positive("source_rate", source_rate), rate=_positive("rate", rate))
        if layout is not None:
            if not isinstance(layout, str):
                raise TypeError("layout must be a str, not %s" % type(layout).__name__)
            options["layout"] = layout
            names = _kinrec._layout_names()
            name = layout.strip().lower()
            if name in names and _kinrec._layout_takes_two_files(name) != (len(sources) == 2):
                raise LoadError("the %s layout takes %s" % (
                    name, "acc= and gyro=" if len(sources) == 1 else "one path"))
        for unit, scale, option in ((acc_unit, acc_scale, "acc"), (gyro_unit, gyro_scale, "gyro")):
            if scale is not None and options[option + "_unit"] not in (None, "counts"):
                raise LoadError("%s_scale goes with %s_unit='counts'" % (option, option))
        label = ", ".join(sources)
        try:
            got = _kinrec._read_samples(sources, options)
        except OSError as e:
            raise UnreadableError("cannot read %s: %s" % (e.filename or label, e.strerror or e)) \
                from None
        except ValueError as e:
            raise LoadError(str(e)) from None
        reports.extend(got["notes"])
    except LoadError as e:
        raise type(e)(python_words(str(e))) from None
    finally:
        for kind, where_, text in reports:
            warnings.warn("%s: %s" % (where_, python_words(text)), KinrecWarning, stacklevel=2)
    hz: Optional[float] = got["rate"] or None
    if hz is None:
        warnings.warn("%s: the time stamps do not increase: give source_rate=, or check "
                      "time_col" % label, KinrecWarning, stacklevel=2)
    elif not got["even"]:
        warnings.warn("%s: the time stamps are uneven (rate None): for kinrec's 0.02 s steps "
                      "load again with rate=50" % label, KinrecWarning, stacklevel=2)
        hz = None
    return Recording(got["acc"], got["gyro"], hz, got["time"], got["source_row"], label)
