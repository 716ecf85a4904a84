"""kinrec from Python: the features of body-worn inertial sensor recordings.

kinrec turns recordings of a three-axis accelerometer and gyroscope into integer
feature tables: raw counts, filtered and raw magnitudes, a fall counter, roll, pitch
and yaw from an attitude filter, and first differences. This package runs the same
compiled pipeline as the ``kinrec`` console tool, so its integers are the tables'
integers, bit for bit.

- :func:`features` converts a recording held in NumPy arrays;
- :func:`read` converts a recording file of any kind kinrec reads;
- :func:`convert` writes a table file exactly as the console tool does;
- :func:`read_table` loads a table kinrec wrote;
- :func:`load` reads a recording of another layout (a data set's files, a phone app's
  export) into acceleration in g and angular rate in deg/s, as ``tools/kinrec-import.py``
  does, for :func:`features`;
- :func:`features_many` and :func:`read_many` convert many recordings on all CPUs;
- :func:`walk` finds the recordings under a folder in the order ``kinrec -r`` takes;
- :class:`Stream` converts a recording as it arrives, chunk by chunk, into the rows
  :func:`features` gives for the whole;
- :class:`Run` carries the gyro bias count from one conversion to the next.

Results are pandas DataFrames with int32 columns named as in the table header and
indexed by ``sample``, the 0-based input sample each row was kept from; without
pandas (or with ``as_frame=False``) they are NumPy structured arrays with a ``sample``
field.
"""

from __future__ import annotations

import concurrent.futures
import difflib
import functools
import inspect
import os
import textwrap
import warnings
from typing import (Any, Callable, Dict, Iterator, List, Mapping, Optional, Sequence, Tuple,
                    Union)

import numpy as np

from . import _kinrec
from ._errors import FileRefusedError, KinrecWarning
from ._kinrec import BIAS_COUNT_LIMIT, Run
from ._load import LoadError, Recording, load

try:
    import pandas as _pd
except ImportError:  # pragma: no cover - exercised only where pandas is missing
    _pd = None

__all__ = [
    "BIAS_COUNT_LIMIT",
    "FileRefusedError",
    "KinrecWarning",
    "LoadError",
    "Recording",
    "Run",
    "Stream",
    "convert",
    "features",
    "features_many",
    "load",
    "read",
    "read_many",
    "read_table",
    "walk",
]
__version__: str = _kinrec.__version_info__

Run.__module__ = __name__
FileRefusedError.__module__ = __name__
KinrecWarning.__module__ = __name__
LoadError.__module__ = __name__
Recording.__module__ = __name__
load.__module__ = __name__

PathLike = Union[str, "os.PathLike[str]"]
Result = Any  # a pandas.DataFrame, or a NumPy structured array
ArrayLike = Any  # an array of shape (N, 3), or a sequence of three 1-D arrays

STANDARD_GRAVITY = 9.80665  # [m/s^2 per g]

_ACC_UNITS = {"counts": 0, "g": 1, "mg": 3, "m/s^2": 2}
_GYRO_UNITS = {"counts": 0, "deg/s": 1, "rad/s": 2}
_FILETYPES = "1 (counts CSV), 2 (g and deg/s CSV), 3 (hundreds of counts CSV) or 4 (dataset)"
_FIXED_HEADER = "accX,accY,accZ,gyroX,gyroY,gyroZ,lpf_acc,raw_acc,lpf_omega,raw_omega"
_INT32_MIN, _INT32_MAX = -(2**31), 2**31 - 1

# The settings, from the compiled table that also makes the console's configuration
# keys (kinrec.h: KINREC_SETTINGS): (keyword, key or None, field, default, meaning), in
# the order the extension takes their values. Fields ending in "Out" are column
# switches, bools here.
_SETTINGS: Tuple[Tuple[str, Optional[str], str, int, str], ...] = tuple(
    tuple(entry) for entry in _kinrec.SETTINGS  # type: ignore[misc]
)
_SWITCHES = frozenset(keyword for keyword, _, field, _, _ in _SETTINGS if field.endswith("Out"))
_DEFAULTS: Dict[str, Any] = {
    keyword: bool(default) if keyword in _SWITCHES else default
    for keyword, _, _, default, _ in _SETTINGS
}
# The settings every conversion takes as keywords (the file type only where files are read).
_SETTING_NAMES = tuple(keyword for keyword, *_ in _SETTINGS if keyword != "filetype")


def _settings_doc() -> str:
    lines = [""]
    for keyword, key, _, _, meaning in _SETTINGS:
        if keyword != "filetype":
            text = f"{keyword}: {meaning}" + (f" ({key})." if key else ".")
            lines += textwrap.wrap(text, 84, initial_indent="    ", subsequent_indent="        ")
    notes = (
        "The attitude filter always steps 0.02 s per kept sample: resample 100 Hz "
        "recordings with resample_count=2.",
        "run: a :class:`Run` to carry the gyro bias count on from earlier conversions (and "
        "to later ones); None starts the count afresh, as converting the file alone with "
        "the console tool does.",
    )
    lines += textwrap.wrap(notes[0], 84, initial_indent="    ", subsequent_indent="    ")
    lines += textwrap.wrap(notes[1], 84, initial_indent="    ", subsequent_indent="        ")
    return "\n".join(lines)


_SETTINGS_DOC = _settings_doc()


def _takes_settings(func: Callable[..., Any]) -> Callable[..., Any]:
    """Gives func the settings keywords of the table, before its ``run``: explicit in its
    signature with their defaults and types; an unknown keyword raises ValueError with
    the closest known one. func receives every setting as a keyword."""
    signature = inspect.signature(func)
    params = [
        p for p in signature.parameters.values() if p.kind is not inspect.Parameter.VAR_KEYWORD
    ]
    at = next(i for i, p in enumerate(params) if p.name == "run")
    # With a rate, the resample count and the filters' rate follow from it when not given.
    from_rate = _RATE_SETTINGS if "rate" in signature.parameters else ()
    added = [
        inspect.Parameter(
            name, inspect.Parameter.KEYWORD_ONLY,
            default=None if name in from_rate else _DEFAULTS[name],
            annotation="bool" if name in _SWITCHES else
            ("Optional[int]" if name in from_rate else "int"))
        for name in _SETTING_NAMES
    ]
    full = signature.replace(parameters=params[:at] + added + params[at:])
    known = tuple(full.parameters)
    name_of = func.__qualname__.replace(".__init__", "")

    @functools.wraps(func)
    def call(*args: Any, **kwargs: Any) -> Any:
        unknown = {k: v for k, v in kwargs.items() if k not in full.parameters}
        _unknown(name_of, unknown, known)
        for name in _SETTING_NAMES:
            kwargs.setdefault(name, None if name in from_rate else _DEFAULTS[name])
        if from_rate:
            _settle_rate(name_of, kwargs.get("rate"), kwargs)
        return func(*args, **kwargs)

    call.__signature__ = full  # type: ignore[attr-defined]
    return call


_RATE_SETTINGS = ("resample_count", "sampling_frequency")
_STEP_RATE = 50.0  # [Hz] the attitude filter steps 0.02 s per kept sample


def _settle_rate(function: str, rate: object, settings: Dict[str, Any]) -> None:
    """The resample count and filter rate a recording's rate asks for, as the importer sets
    them: a whole multiple k of 50 Hz keeps every kth sample with the filters at 50 Hz.
    Any other rate per kept sample warns: the attitude filter's 0.02 s step would be
    wrong, and its angles with it."""
    given = settings["resample_count"] is not None
    hz = None
    if rate is not None:
        try:
            hz = float(rate)  # type: ignore[arg-type]
        except (TypeError, ValueError):
            hz = None  # refused later with the rate's own message
    if hz is not None and np.isfinite(hz) and hz > 0:
        k = round(hz / _STEP_RATE)
        multiple = k >= 1 and abs(hz - k * _STEP_RATE) <= 0.03 * k * _STEP_RATE
        if not given:
            if multiple:
                settings["resample_count"] = k if k >= 2 else 0
                if k >= 2 and settings["sampling_frequency"] is None:
                    settings["sampling_frequency"] = int(_STEP_RATE)
            else:
                warnings.warn(
                    f"{function}(): rate={rate!r} Hz is not a whole multiple of 50 Hz, the "
                    "rate per kept sample kinrec's attitude filter assumes (0.02 s steps): "
                    "its angles will be wrong; resample the recording to 50 Hz first (the "
                    "importer's --rate 50)", KinrecWarning, stacklevel=3)
        else:
            count = _integer("resample_count", settings["resample_count"])
            kept = hz / max(count, 1)
            if abs(kept - _STEP_RATE) > 0.03 * _STEP_RATE:
                hint = (f"give resample_count={k}" if multiple else
                        "resample the recording to 50 Hz first (the importer's --rate 50)")
                warnings.warn(
                    f"{function}(): rate={rate!r} Hz with resample_count={count} keeps "
                    f"{kept:.4g} Hz, but kinrec's attitude filter steps 0.02 s per kept "
                    f"sample (50 Hz): its angles will be wrong; {hint}", KinrecWarning,
                    stacklevel=3)
    for name in _RATE_SETTINGS:
        if settings[name] is None:
            settings[name] = _DEFAULTS[name]


def _path(path: PathLike) -> bytes:
    """A path as the system takes it (os.fsencode: any name, non-UTF-8 ones too); a NUL
    inside it is refused, as open() refuses it."""
    name = os.fsencode(os.fspath(path))
    if b"\0" in name:
        raise ValueError("embedded null byte")
    return name


def _unknown(function: str, unknown: Mapping[str, object], known: Sequence[str]) -> None:
    if not unknown:
        return
    name = sorted(unknown)[0]
    close = difflib.get_close_matches(name, known, n=1)
    hint = f"; did you mean {close[0]!r}?" if close else f"; known: {', '.join(known)}"
    raise ValueError(f"{function}() got an unknown setting {name!r}{hint}")


def _integer(name: str, value: object) -> int:
    if isinstance(value, (bool, np.bool_)):
        raise TypeError(f"{name} must be an integer, not a bool")
    try:
        number = int(value.__index__())  # type: ignore[attr-defined]
    except (AttributeError, TypeError):
        raise TypeError(f"{name} must be an integer, not {type(value).__name__}") from None
    if not _INT32_MIN <= number <= _INT32_MAX:
        raise ValueError(f"{name} must fit 32 bits (-2147483648 to 2147483647), not {number}")
    return number


def _switch(name: str, value: object) -> int:
    if isinstance(value, (bool, np.bool_)):
        return int(bool(value))
    return 1 if _integer(name, value) != 0 else 0


def _settings(filetype: int, values: Mapping[str, object]) -> List[int]:
    """The settings' values in the table's order, checked."""
    filetype = _integer("filetype", filetype)
    if not 1 <= filetype <= 4:
        raise ValueError(f"filetype must be {_FILETYPES}, not {filetype}")
    result = []
    for keyword, *_ in _SETTINGS:
        if keyword == "filetype":
            result.append(filetype)
        elif keyword in _SWITCHES:
            result.append(_switch(keyword, values[keyword]))
        else:
            result.append(_integer(keyword, values[keyword]))
    return result


def _run(run: Optional[Run]) -> Optional[Run]:
    if run is not None and not isinstance(run, Run):
        raise TypeError(f"run must be a kinrec.Run or None, not {type(run).__name__}")
    return run


def _unit(name: str, unit: object, units: Mapping[str, int]) -> int:
    if not isinstance(unit, str) or unit not in units:
        raise ValueError(f"{name} must be one of {', '.join(map(repr, units))}, not {unit!r}")
    return units[unit]


def _channels(name: str, data: ArrayLike) -> List[np.ndarray]:
    """The three channels of acc or gyro as 1-D numeric arrays (views where possible)."""
    if isinstance(data, (list, tuple)) and len(data) == 3 and all(np.ndim(c) == 1 for c in data):
        columns = [np.asarray(c) for c in data]
    else:
        array = np.asarray(data)
        if array.ndim != 2 or array.shape[1] != 3:
            raise ValueError(
                f"{name} must be an array of shape (N, 3) or a sequence of three 1-D "
                f"arrays, not an array of shape {array.shape}"
            )
        columns = [array[:, k] for k in range(3)]
    for axis, column in zip("xyz", columns):
        if column.dtype.kind not in "iuf":
            raise ValueError(
                f"{name} {axis} holds {column.dtype} values; integers or floating-point "
                "numbers are needed"
            )
    lengths = {len(c) for c in columns}
    if len(lengths) != 1:
        raise ValueError(
            f"{name} channels differ in length: "
            + ", ".join(f"{a} {len(c)}" for a, c in zip("xyz", columns))
        )
    return columns


def _check_finite(name: str, columns: List[np.ndarray]) -> None:
    first: Optional[Tuple[int, str, float]] = None
    for axis, column in zip("xyz", columns):
        if column.dtype.kind != "f":
            continue
        bad = np.flatnonzero(~np.isfinite(column))
        if bad.size and (first is None or bad[0] < first[0]):
            first = (int(bad[0]), axis, float(column[bad[0]]))
    if first is not None:
        index, axis, value = first
        raise ValueError(f"{name} {axis} at sample {index} is {value}; values must be finite")


def _counts16(column: np.ndarray) -> np.ndarray:
    """Counts as the counts CSV layout reads them: truncated toward zero, saturated at
    32 bits, then the low 16 bits."""
    dtype = column.dtype
    if dtype.kind == "f":
        column = np.clip(np.trunc(column), _INT32_MIN, _INT32_MAX).astype(np.int32)
    elif dtype.kind == "u" and dtype.itemsize >= 4:
        column = np.minimum(column, _INT32_MAX)
    elif dtype.kind == "i" and dtype.itemsize > 4:
        column = np.clip(column, _INT32_MIN, _INT32_MAX)
    return column.astype(np.int16, copy=False)


_FACTORS = (8192.0, 65.53600311279297)  # [counts per g], [counts per deg/s] in double
_DEG_PER_RAD = 180.0 / 3.141592653589793  # as math.degrees
_OVERFLOWS = ("wrap", "clip", "raise")


def _check_overflow(overflow: object) -> None:
    if overflow not in _OVERFLOWS:
        raise ValueError(f"overflow must be one of {', '.join(map(repr, _OVERFLOWS))}, "
                         f"not {overflow!r}")


def _precounts(column: np.ndarray, unit: int, gyro: bool) -> Optional[np.ndarray]:
    """The counts a channel's values become before their wrap to 16 bits, as the file
    layouts make them (counts saturated at 32 bits; physical values times the factor,
    truncated, INT32_MIN beyond 32 bits); None when no value can leave the 16-bit range."""
    if len(column) == 0:
        return None
    kind, size = column.dtype.kind, column.dtype.itemsize
    if unit == 0:
        if (kind == "i" and size <= 2) or (kind == "u" and size == 1):
            return None
        low, high = column.min(), column.max()
        if -32768 <= low and high <= 32767:
            return None
        if kind == "f":
            return np.clip(np.trunc(column), _INT32_MIN, _INT32_MAX)
        if kind == "u":
            return np.minimum(column, _INT32_MAX).astype(np.int64)
        return np.clip(column, _INT32_MIN, _INT32_MAX).astype(np.int64)
    x = _in_g_or_dps(column, unit, gyro)
    factor = _FACTORS[1 if gyro else 0]
    if max(x.max(), -x.min()) * factor < 32767.0:  # no truncation can reach the edges
        return None
    v = np.trunc(x * factor)
    return np.where((v > -2147483649.0) & (v < 2147483648.0), v, float(_INT32_MIN))


def _prepare(
    acc: ArrayLike, gyro: ArrayLike, acc_unit: Optional[str], gyro_unit: Optional[str],
    overflow: str,
) -> Tuple[List[np.ndarray], int, int]:
    """The six channels as the extension takes them, with their unit codes; values beyond
    the 16-bit range wrapped (with a KinrecWarning), clipped, or refused, as overflow says."""
    _check_overflow(overflow)
    groups = []
    for name, data, unit, units in (("acc", acc, acc_unit, _ACC_UNITS),
                                    ("gyro", gyro, gyro_unit, _GYRO_UNITS)):
        columns = _channels(name, data)
        if unit is None and any(c.dtype.kind == "f" for c in columns):
            raise ValueError(
                f"{name} holds floating-point values: give acc_unit= and gyro_unit= (acc "
                f"{', '.join(map(repr, _ACC_UNITS))}; gyro {', '.join(map(repr, _GYRO_UNITS))}); "
                "only integer arrays are taken as counts without them"
            )
        code = _unit(f"{name}_unit", "counts" if unit is None else unit, units)
        _check_finite(name, columns)
        if code == 3:  # mg: in g first
            columns, code = [c.astype(np.float64) / 1000.0 for c in columns], 1
        groups.append((name, columns, code))
    n, m = len(groups[0][1][0]), len(groups[1][1][0])
    if n != m:
        raise ValueError(f"acc and gyro differ in length: acc has {n} samples, gyro {m}")
    pre = [[_precounts(c, code, name == "gyro") for c in columns] for name, columns, code in groups]
    wrapped = np.zeros(n, dtype=bool)
    for counts in pre:
        for v in counts:
            if v is not None:
                wrapped |= (v < -32768) | (v > 32767)
    channels: List[np.ndarray] = []
    codes = []
    for (name, columns, code), counts in zip(groups, pre):
        if overflow == "clip" and any(v is not None for v in counts):
            # Saturated as a sensor does: counts, computed here by the same rule.
            for c, v in zip(columns, counts):
                if v is None:
                    v = c if code == 0 else np.trunc(_precount_values(c, code, name == "gyro"))
                channels.append(np.clip(v, -32768, 32767).astype(np.int16))
            codes.append(0)
            continue
        if code == 0:
            channels += [_counts16(c) for c in columns]
        else:
            channels += [c.astype(np.float64, copy=False) for c in columns]
        codes.append(code)
    if wrapped.any():
        first = int(np.argmax(wrapped))
        peaks = [v[wrapped] for counts in pre for v in counts if v is not None]
        values = np.concatenate(peaks)
        peak = int(values[np.argmax(np.abs(values.astype(np.float64)))])
        count = int(wrapped.sum())
        what = (f"{count} sample{' has' if count == 1 else 's have'} values beyond the 16-bit "
                f"range (the first is sample {first}, the largest value {peak} counts)")
        if overflow == "raise":
            raise ValueError(what + "; overflow='raise'")
        if overflow == "wrap":
            warnings.warn(what + ", wrapped around as the console tool reads them from a file; "
                          "overflow='clip' saturates them as a sensor does", KinrecWarning,
                          stacklevel=4)
    return channels, codes[0], codes[1]


def _in_g_or_dps(column: np.ndarray, unit: int, gyro: bool) -> np.ndarray:
    """Physical values in g or deg/s, as the extension scales m/s^2 and rad/s."""
    x = column.astype(np.float64, copy=False)
    if unit == 2:
        x = x * _DEG_PER_RAD if gyro else x / STANDARD_GRAVITY
    return x


def _precount_values(column: np.ndarray, unit: int, gyro: bool) -> np.ndarray:
    """Physical values times their factor (after the SI scaling), before truncation."""
    return _in_g_or_dps(column, unit, gyro) * _FACTORS[1 if gyro else 0]


def _time_values(
    samples: np.ndarray, rate: Optional[float], time: Optional[ArrayLike], n: int
) -> Optional[np.ndarray]:
    if rate is not None and time is not None:
        raise ValueError("give rate or time, not both")
    if rate is not None:
        try:
            hz = float(rate)
        except (TypeError, ValueError):
            raise TypeError(f"rate must be a number of Hz, not {type(rate).__name__}") from None
        if not (np.isfinite(hz) and hz > 0):
            raise ValueError(f"rate must be a positive number of Hz, not {rate!r}")
        return samples / hz
    if time is not None:
        stamps = np.asarray(time)
        if stamps.ndim != 1 or len(stamps) != n:
            raise ValueError(
                f"time must hold one time stamp per input sample ({n}), not an array of "
                f"shape {stamps.shape}"
            )
        if stamps.dtype.kind in "iuf":
            stamps = stamps.astype(np.float64, copy=False)
        elif stamps.dtype.kind not in "mM":
            raise ValueError(f"time holds {stamps.dtype} values; numbers of seconds are needed")
        return stamps[samples]
    return None


def _lead(as_frame: bool, timed: bool) -> int:
    """How the compiled part lays out the rows: 0 for the columns of a DataFrame, else
    the int32 words before each record's values (the int64 sample, a float64 time)."""
    if as_frame and _pd is not None:
        return 0
    return 4 if timed else 2


def _records(names: List[str], records: np.ndarray,
             time_of: Optional[Callable[[np.ndarray], Optional[np.ndarray]]]) -> np.ndarray:
    """The structured array over the records the compiled part wrote, without a copy;
    records with room for a time (see _lead) get one."""
    timed = records.shape[1] - len(names) == 4
    fields: List[Tuple[str, Any]] = [("sample", np.int64)]
    if timed:
        fields.append(("time", np.float64))
    fields += [(n, np.int32) for n in names]
    out = records.view(np.dtype(fields)).reshape(records.shape[0])
    if timed and time_of is not None:
        times = time_of(out["sample"])
        if times is not None:
            if times.dtype != np.float64:  # datetime64 stamps: a field of their own type
                fields[1] = ("time", times.dtype)
                out = out.view(np.dtype(fields))
            out["time"] = times
    return out


def _result(
    raw: Tuple[List[str], np.ndarray, Any],
    as_frame: bool,
    time_of: Optional[Callable[[np.ndarray], Optional[np.ndarray]]] = None,
) -> Result:
    names, block, index = raw
    if index is None:  # records, as _lead asked for
        return _records(names, block, time_of)
    rows = block.shape[1]
    samples = np.arange(*index, dtype=np.int64) if isinstance(index, tuple) else index
    times = time_of(samples) if time_of is not None else None
    if as_frame and _pd is not None:
        if isinstance(index, tuple):
            row_index = _pd.RangeIndex(*index, name="sample")
        else:
            row_index = _pd.Index(index, name="sample")
        frame = _pd.DataFrame(block.T, columns=names, index=row_index, copy=False)
        if times is not None:
            frame.insert(0, "time", times)
        return frame
    fields: List[Tuple[str, Any]] = [("sample", np.int64)]
    if times is not None:
        fields.append(("time", times.dtype))
    fields += [(n, np.int32) for n in names]
    out = np.empty(rows, dtype=fields)
    out["sample"] = samples
    if times is not None:
        out["time"] = times
    if rows and names:
        # The int32 fields sit side by side in each record: one transposing copy fills them.
        start = out.dtype.fields[names[0]][1] // 4
        records = out.view(np.int32).reshape(rows, out.dtype.itemsize // 4)
        records[:, start:start + len(names)] = block.T
    return out


@_takes_settings
def features(
    acc: ArrayLike,
    gyro: ArrayLike,
    *,
    acc_unit: Optional[str] = None,
    gyro_unit: Optional[str] = None,
    rate: Optional[float] = None,
    time: Optional[ArrayLike] = None,
    overflow: str = "wrap",
    run: Optional[Run] = None,
    as_frame: bool = True,
    **settings: Any,
) -> Result:
    """The feature table of a recording held in arrays.

    acc, gyro: the accelerometer and gyroscope, each an array of shape (N, 3) (columns
        x, y, z) or a sequence of exactly three 1-D arrays (x, y, z), of any integer or
        floating-point dtype; both N samples long. A list or tuple of three 1-D
        sequences is always taken as three channels.
    acc_unit: "counts" (8192 per g), "g" or "m/s^2".
    gyro_unit: "counts" (65.536 per deg/s), "deg/s" or "rad/s".

    Values become counts exactly as the console tool reads its files, so the table is
    the one kinrec writes for the same values in a file:

    - counts: as the counts CSV layout reads a number: truncated toward zero, beyond
      32 bits saturated to -2147483648 or 2147483647, then its low 16 bits as a signed
      number (40000 becomes -25536);
    - g and deg/s: as the physical CSV layout (FILETYPE 2): the value times 8192 or
      65.53600311279297 in double precision, truncated toward zero, the low 16 bits as
      a signed number. The range is about +-4 g and +-500 deg/s; values beyond it wrap
      around (4.5 g becomes -3.5 g), as they do in a file;
    - m/s^2 and rad/s: first divided by 9.80665 (standard gravity) or multiplied by
      180/pi (as math.degrees does), in double precision, then the same rule as g and
      deg/s. So +-39.2 m/s^2 and +-8.7 rad/s is the range.

    NaN and infinite values are refused (ValueError naming the first such sample).

    rate: [Hz] adds a float64 column "time", the kept samples' times in seconds from
        the first sample (sample / rate).
    time: one time stamp per input sample (seconds, or datetime64); adds a column
        "time" holding the kept samples' stamps. Give rate or time, not both.
    """
    settings = _settings(1, settings)
    run = _run(run)
    channels, acc_code, gyro_code = _prepare(acc, gyro, acc_unit, gyro_unit, overflow)
    n = len(channels[0])
    if time is not None or rate is not None:
        _time_values(np.zeros(0, dtype=np.int64), rate, time, n)  # checked before converting
    raw = _kinrec._features(channels, acc_code, gyro_code, settings, run,
                            _lead(as_frame, time is not None or rate is not None))
    return _result(raw, as_frame, lambda s: _time_values(s, rate, time, n))


features.__doc__ = (features.__doc__ or "") + _SETTINGS_DOC + """
    as_frame: a pandas DataFrame (the default, when pandas is there) or a NumPy
        structured array.

    Returns the table: int32 columns named as in kinrec's header (accX ... yaw_diff),
    indexed by "sample", the row number of the input sample each row was kept from.

    Example, on a recording that lies still for two seconds:

    >>> import numpy as np, kinrec
    >>> acc = np.tile([0.0, 0.0, 1.0], (100, 1))            # g
    >>> gyro = np.zeros((100, 3))                            # deg/s
    >>> t = kinrec.features(acc, gyro, acc_unit="g", gyro_unit="deg/s", rate=50)
    >>> int(t["raw_acc"].iloc[-1]), int(t["pitch"].iloc[-1])
    (100, -90)
"""


@_takes_settings
def read(
    path: PathLike,
    filetype: int = _DEFAULTS["filetype"],
    *,
    rate: Optional[float] = None,
    run: Optional[Run] = None,
    as_frame: bool = True,
    **settings: Any,
) -> Result:
    """The feature table of a recording file, without writing anything.

    path: a recording kinrec reads, of the kind filetype names (FILETYPE): 1 counts
        CSV (t, accX, accY, accZ, gyroX, gyroY, gyroZ), 2 physical CSV (t, -, acc in g,
        gyro in deg/s), 3 hundreds of counts CSV, 4 binary dataset.
    rate: [Hz] adds a float64 column "time", sample / rate.

    Raises OSError when the file cannot be read (FileNotFoundError and the like, with
    the path); FileRefusedError (an OSError) for a kinrec table given as a recording
    and, with filetype 4, a file that is no dataset file; ValueError for a filetype
    other than 1 to 4.
    """
    settings = _settings(filetype, settings)
    run = _run(run)
    path_bytes = _path(path)
    name = os.fsdecode(path_bytes)
    if rate is not None:
        _time_values(np.zeros(0, dtype=np.int64), rate, None, 0)
    raw, notes = _kinrec._read(path_bytes, settings, run, _lead(as_frame, rate is not None))
    for note in notes:
        warnings.warn(f"{name}: {note}", KinrecWarning, stacklevel=3)
    return _result(raw, as_frame, lambda s: _time_values(s, rate, None, 0))


read.__doc__ = (read.__doc__ or "") + _SETTINGS_DOC + """
    as_frame: a pandas DataFrame (the default) or a NumPy structured array.

    Returns the same table as :func:`features`, the integers of the table the console
    tool writes for the file.
"""


@_takes_settings
def convert(
    input: PathLike,
    output: Optional[PathLike] = None,
    *,
    filetype: int = _DEFAULTS["filetype"],
    run: Optional[Run] = None,
    **settings: Any,
) -> str:
    """Writes the table of a recording file exactly as the console tool does.

    input: the recording (filetype as for :func:`read`).
    output: the table's name; None: the input's name without its last four characters,
        followed by "_DSV.csv" (a.csv gives a_DSV.csv), as ``kinrec a.csv`` names it.

    The table is written to a temporary file beside its name and moved onto the name
    only when it is complete. An existing file is replaced only when it is empty or a
    kinrec table; the input itself and any other file are never overwritten.

    Returns the table's name. Raises OSError with the console tool's reason and the
    path: FileNotFoundError and the like where the reason is a system error, else
    FileRefusedError ("b.csv: exists and is not a kinrec table; not overwritten");
    ValueError for a filetype other than 1 to 4. Nothing is printed.
    """
    settings = _settings(filetype, settings)
    run = _run(run)
    source = _path(input)
    target = None if output is None else _path(output)
    name, notes = _kinrec._convert(source, target, settings, run)
    for note in notes:
        warnings.warn(f"{os.fsdecode(source)}: {note}", KinrecWarning, stacklevel=3)
    return os.fsdecode(name)


convert.__doc__ = (convert.__doc__ or "") + _SETTINGS_DOC + "\n"


def read_table(path: PathLike, *, as_frame: bool = True) -> Result:
    """A table kinrec wrote, as int32 columns named as in its header.

    The header's optional names (", fall_counter, roll, ...") lose their leading
    spaces. The rows are numbered from 0 (a table does not say which input sample a
    row was kept from: with resample_count N it is row * N).

    Raises OSError for a file that cannot be read, FileRefusedError (an OSError) for one
    that is not a kinrec table.
    """
    name = os.fsdecode(os.fspath(path))
    with open(name, "r", encoding="ascii", errors="replace", newline=None) as f:
        header = f.readline().rstrip("\n")
    if not header.startswith(_FIXED_HEADER):
        raise _file_error(name, "is not a kinrec table")
    names = [n.strip() for n in header.split(",")]
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", UserWarning)  # a table without rows
        block = np.loadtxt(name, delimiter=",", skiprows=1, dtype=np.int32, ndmin=2)
    if block.shape[0] == 0:
        block = np.zeros((0, len(names)), dtype=np.int32)
    if block.shape[1] != len(names):
        raise _file_error(name, f"rows of {block.shape[1]} values under {len(names)} names")
    if as_frame and _pd is not None:
        frame = _pd.DataFrame(block, columns=names)
        frame.index.name = "row"
        return frame
    out = np.empty(block.shape[0], dtype=[(n, np.int32) for n in names])
    if len(out) and names:
        out.view(np.int32).reshape(len(out), len(names))[:] = block  # one copy, row by row
    return out


def _file_error(path: str, reason: str) -> OSError:
    return FileRefusedError(path, reason)


def _workers(workers: Optional[int]) -> int:
    if workers is not None:
        count = _integer("workers", workers)
        if count < 1:
            raise ValueError(f"workers must be 1 or more, not {count}")
        return count
    try:
        return len(os.sched_getaffinity(0))
    except AttributeError:  # pragma: no cover - not Linux
        return os.cpu_count() or 1


def _many(
    count: int, one: Callable[[int, Optional[Run]], Result], run: Optional[Run], workers: int
) -> List[Result]:
    """one(i, run) for i in range(count), in order: one by one while the run's bias
    count is below its limit, then on workers threads, as a console batch does."""
    results: List[Result] = []
    if run is not None:
        while len(results) < count and run.bias_count < BIAS_COUNT_LIMIT:
            results.append(one(len(results), run))
    rest = range(len(results), count)

    def task(i: int) -> Result:
        return one(i, None if run is None else Run(BIAS_COUNT_LIMIT))

    if workers <= 1 or len(rest) <= 1:
        results.extend(task(i) for i in rest)
        return results
    try:
        with concurrent.futures.ThreadPoolExecutor(max_workers=min(workers, len(rest))) as pool:
            done = list(pool.map(task, rest))
    except RuntimeError as e:
        if "can't start new thread" not in str(e):
            raise
        # The system gives no more threads (a process limit): the ones there are, this
        # one, do the work, with the same tables.
        done = [task(i) for i in rest]
    results.extend(done)
    return results


_ITEM_KEYS = ("acc", "gyro", "acc_unit", "gyro_unit", "time")


@_takes_settings
def features_many(
    recordings: Sequence[Union[Tuple[ArrayLike, ArrayLike], Mapping[str, Any]]],
    *,
    acc_unit: Optional[str] = None,
    gyro_unit: Optional[str] = None,
    rate: Optional[float] = None,
    overflow: str = "wrap",
    run: Optional[Run] = None,
    as_frame: bool = True,
    workers: Optional[int] = None,
    **settings: Any,
) -> List[Result]:
    """:func:`features` of many recordings on all CPUs; the tables in input order.

    recordings: (acc, gyro) pairs, or dicts with "acc" and "gyro" and optionally
        "acc_unit", "gyro_unit" (overriding the arguments) and "time".
    workers: threads to convert on; None: every CPU this process may use.

    The tables are those of calling :func:`features` on each recording in order. With
    a run, recordings are converted one by one while its bias count is below
    BIAS_COUNT_LIMIT and the rest concurrently, exactly as a console batch does; the
    run is left where one-by-one conversion would leave it. The first recording that
    fails raises its exception, "recording i:" before the message.
    """
    _settings(1, settings)
    run = _run(run)
    count = _workers(workers)
    common = {k: settings[k] for k in _SETTING_NAMES}
    items: List[Dict[str, Any]] = []
    for i, item in enumerate(recordings):
        if isinstance(item, Mapping):
            extra = sorted(set(item) - set(_ITEM_KEYS))
            missing = [k for k in ("acc", "gyro") if k not in item]
            if extra or missing:
                raise ValueError(
                    f"recording {i}: "
                    + (f"unknown key {extra[0]!r}" if extra else f"no {missing[0]!r}")
                    + f"; a recording dict has {', '.join(map(repr, _ITEM_KEYS))}"
                )
            items.append({"acc_unit": acc_unit, "gyro_unit": gyro_unit, **item})
        elif isinstance(item, (tuple, list)) and len(item) == 2:
            items.append({"acc": item[0], "gyro": item[1], "acc_unit": acc_unit,
                          "gyro_unit": gyro_unit})
        else:
            raise ValueError(f"recording {i}: an (acc, gyro) pair or a dict is needed")

    def one(i: int, r: Optional[Run]) -> Result:
        item = items[i]
        try:
            return features(
                item["acc"], item["gyro"], acc_unit=item["acc_unit"],
                gyro_unit=item["gyro_unit"], time=item.get("time"),
                rate=rate if item.get("time") is None else None, overflow=overflow,
                run=r, as_frame=as_frame, **common,
            )
        except ValueError as e:
            raise ValueError(f"recording {i}: {e}") from None

    return _many(len(items), one, run, count)


@_takes_settings
def read_many(
    paths: Sequence[PathLike],
    filetype: int = _DEFAULTS["filetype"],
    *,
    rate: Optional[float] = None,
    run: Optional[Run] = None,
    as_frame: bool = True,
    workers: Optional[int] = None,
    **settings: Any,
) -> List[Result]:
    """:func:`read` of many files on all CPUs; the tables in the order of paths.

    With a run, the tables are those of one ``kinrec -r`` over the same files in the
    same order (see :func:`features_many`). workers: threads; None: every CPU.
    """
    _settings(filetype, settings)
    run = _run(run)
    count = _workers(workers)
    common = {k: settings[k] for k in _SETTING_NAMES}
    if isinstance(paths, (str, bytes, os.PathLike)):
        raise TypeError("read_many() takes a sequence of paths, not one path; read() reads one")
    names = [_path(p) for p in paths]

    def one(i: int, r: Optional[Run]) -> Result:
        return read(names[i], filetype, rate=rate, run=r, as_frame=as_frame, **common)

    return _many(len(names), one, run, count)


def walk(top: PathLike = ".", selector: Optional[str] = None, *,
         recursive: bool = True) -> Iterator[Union[str, bytes]]:
    """The recordings under top, in exactly the order ``kinrec -r [selector]`` run in
    top converts them (the console tool's own walk).

    Entries are sorted by name in byte order, files and folders interleaved, which is not
    ``sorted(paths)``: a folder ``a`` comes before a file ``a-b.csv``. With a selector
    (``*`` any run of characters, ``?`` one, case-sensitive; it may name a sub-folder,
    ``"sub/*.csv"``) each folder's matching files come first, then its sub-folders.
    Folders reached through a link are not entered. An input's name ends in ``.csv``
    (not ``_DSV.csv``) or ``.bin``; files holding kinrec tables are left out, as the
    console leaves them. Paths begin with top (``./a/b.csv``), str or bytes as top is.
    recursive=False searches top alone, as ``kinrec 'selector'`` does.

    What the console reports without stopping comes as a :class:`KinrecWarning`: a
    FIFO, device or folder with an input's name (skipped), a folder that could not be
    listed. With ``read_many(list(kinrec.walk(top)), run=kinrec.Run())`` the tables are
    those of ``kinrec -r`` in top; without a run, each file's table is the one it gets
    alone (``kinrec --alone -r``).
    """
    name = _path(top)
    as_bytes = isinstance(os.fspath(top), bytes)
    sel = None if selector is None else _path(selector)
    files, _tables, special, unreadable = _kinrec._find_inputs(name, sel, bool(recursive))
    text = os.fsdecode
    for path in special:
        warnings.warn(f"{text(path)}: is not a regular file; skipped", KinrecWarning,
                      stacklevel=2)
    for path, err in unreadable:
        warnings.warn(f"{text(path)}: {os.strerror(err)}", KinrecWarning, stacklevel=2)
    for path in files:
        yield path if as_bytes else text(path)


class Stream:
    """A recording converted as it arrives, chunk by chunk.

    The rows :meth:`push` returns, put together, are the rows :func:`features` gives for
    the whole recording, bit for bit, whatever the chunks (one sample each, or a
    resample step cut in two), and their index, the input sample each row was kept
    from, runs on from chunk to chunk.

    acc_unit, gyro_unit, rate and the settings are those of :func:`features`; push()
    checks its chunks as features() checks its arrays. run: a :class:`Run` the stream
    advances sample by sample and holds until :meth:`close`: any other conversion given
    that Run meanwhile raises RuntimeError (it would change the count in the middle of
    this recording). A stream is also a context manager that closes itself.

    >>> import numpy as np, kinrec
    >>> stream = kinrec.Stream(acc_unit="g", gyro_unit="deg/s", rate=50)
    >>> for _ in range(4):                                   # four chunks of half a second
    ...     rows = stream.push(np.tile([0.0, 0.0, 1.0], (25, 1)), np.zeros((25, 3)))
    >>> stream.close()
    >>> int(rows.index[-1]), int(rows["pitch"].iloc[-1])
    (99, -90)
    """

    @_takes_settings
    def __init__(
        self,
        *,
        acc_unit: Optional[str] = None,
        gyro_unit: Optional[str] = None,
        rate: Optional[float] = None,
        overflow: str = "wrap",
        run: Optional[Run] = None,
        as_frame: bool = True,
        **settings: Any,
    ) -> None:
        for name, unit, units in (("acc_unit", acc_unit, _ACC_UNITS),
                                  ("gyro_unit", gyro_unit, _GYRO_UNITS)):
            if unit is not None:
                _unit(name, unit, units)
        _check_overflow(overflow)
        self._acc, self._gyro, self._overflow = acc_unit, gyro_unit, overflow
        if rate is not None:
            _time_values(np.zeros(0, dtype=np.int64), rate, None, 0)
        self._rate = rate
        self._as_frame = as_frame
        self._stream = _kinrec._Stream(_settings(1, settings), _run(run))

    def push(self, acc: ArrayLike, gyro: ArrayLike) -> Result:
        """The rows kept from the next samples (arrays as :func:`features` takes them),
        indexed by their input sample counted from the stream's first."""
        channels, acc_code, gyro_code = _prepare(acc, gyro, self._acc, self._gyro,
                                                 self._overflow)
        raw = self._stream.push(channels, acc_code, gyro_code)
        rate = self._rate
        return _result(raw, self._as_frame, lambda s: _time_values(s, rate, None, 0))

    @property
    def samples(self) -> int:
        """The samples pushed so far."""
        return int(self._stream.samples)

    @property
    def closed(self) -> bool:
        return bool(self._stream.closed)

    def close(self) -> None:
        """Ends the stream and lets go of its Run; push() raises after it."""
        self._stream.close()

    def __enter__(self) -> "Stream":
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()

    def __repr__(self) -> str:
        state = "closed" if self.closed else "open"
        return f"<kinrec.Stream, {self.samples} samples, {state}>"


Stream.__init__.__doc__ = _SETTINGS_DOC
