"""Recordings in other layouts: the options of :func:`kinrec.load` and of
tools/kinrec-import.py, checked and handed to the library's reader (kinrec.h:
ReadSamples), which both use.

A recording is a delimited text file of time stamps, acceleration and angular rate, or
two such files (accelerometer and gyroscope) merged onto a fixed-rate grid over the
time span both cover. Values come out in kinrec's physical units: g and deg/s.
"""

from __future__ import annotations

import math
import os
import re
import warnings
from typing import (TYPE_CHECKING, Any, Dict, Iterator, List, Mapping, Optional, Sequence,
                    Tuple, Union)

from . import _kinrec
from ._errors import KinrecWarning

if TYPE_CHECKING:  # pragma: no cover
    import numpy as np

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
BASE_RATE = 50.0  # Hz: kinrec's attitude filter steps 0.02 s per kept sample

# The columns of the physical CSV (FILETYPE 2) the command line writes.
HEADER = "time_s,source_row,acc_x_g,acc_y_g,acc_z_g,gyro_x_dps,gyro_y_dps,gyro_z_dps"


class LoadError(ValueError):
    """Input the readers cannot take, with the reason: a file that is no recording of the
    layout asked for, options that do not fit it."""


class UnreadableError(LoadError, OSError):
    """A file that cannot be read at all (missing, a folder, not text)."""




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


def format_value(v):
    text = "%.10g" % v
    return "0" if text == "-0" else text


# ---- the library's reader --------------------------------------------------------

def layout_name(text: str) -> str:
    """The canonical name of a data set's layout, or LoadError naming those known."""
    key = text.strip().lower()
    names = _kinrec._layout_names()
    if key not in names:
        raise LoadError("unknown layout '%s'; use %s" % (text, ", ".join(names)))
    return key


def layout_takes_two_files(name: str) -> bool:
    return bool(_kinrec._layout_takes_two_files(name))


def read_samples(sources: Sequence[str], options: Mapping[str, Any]) -> Dict[str, Any]:
    """What the library's reader makes of sources (one file, or an accelerometer's and a
    gyroscope's) with the importer's options by their names: time, source_row, acc, gyro
    (N, 3), rate (0: none), even, notes [(kind, where, text)]. LoadError with the reader's
    reason, UnreadableError for a file that cannot be read."""
    label = ", ".join(sources)
    try:
        return _kinrec._read_samples(list(sources), dict(options))
    except OSError as e:
        raise UnreadableError("cannot read %s: %s" % (e.filename or label, e.strerror or e)) \
            from None
    except ValueError as e:
        raise LoadError(str(e)) from None


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
            options["layout"] = name = layout_name(layout)
            if layout_takes_two_files(name) != (len(sources) == 2):
                raise LoadError("the %s layout takes %s" % (
                    name, "acc= and gyro=" if len(sources) == 1 else "one path"))
        for unit, scale, option in ((acc_unit, acc_scale, "acc"), (gyro_unit, gyro_scale, "gyro")):
            if scale is not None and options[option + "_unit"] not in (None, "counts"):
                raise LoadError("%s_scale goes with %s_unit='counts'" % (option, option))
        label = ", ".join(sources)
        got = read_samples(sources, options)
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
