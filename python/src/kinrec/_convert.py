"""Conversions: recordings in arrays, files and streams through the library, as
Include/public/kinrec.h names them, and the console's walk."""

from __future__ import annotations

import os
import warnings
from typing import Any, Iterator, List, Mapping, Optional, Tuple, Union

import numpy as np

from . import _kinrec
from ._errors import KinrecWarning
from ._kinrec import Run
from ._results import ArrayLike, Result, _lead, _result, _time_values
from ._settings import (_DEFAULTS, _SETTINGS_DOC, PathLike, _path, _python_words, _run,
                        _settings, _takes_settings)


_ACC_UNITS = _kinrec.AccUnit.__members__  # "counts", "g", "mg", "m/s^2"
_GYRO_UNITS = _kinrec.GyroUnit.__members__  # "counts", "deg/s", "rad/s"


def _option(name: str, value: object, choices: Mapping[str, Any]) -> Any:
    if not isinstance(value, str) or value not in choices:
        raise ValueError(f"{name} must be one of {', '.join(map(repr, choices))}, not {value!r}")
    return choices[value]


def _options(acc_unit: Optional[str], gyro_unit: Optional[str]) -> Any:
    """The units as the library names them (kinrec::Units)."""
    return _kinrec._Options(
        _option("acc_unit", "counts" if acc_unit is None else acc_unit, _ACC_UNITS),
        _option("gyro_unit", "counts" if gyro_unit is None else gyro_unit, _GYRO_UNITS))


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


def _prepare(acc: ArrayLike, gyro: ArrayLike, acc_unit: Optional[str],
             gyro_unit: Optional[str]) -> List[np.ndarray]:
    """The six channels as the library takes them, all of one type: counts as int16 or
    int32 where their dtype fits it, else float64 values in their units (counts too).
    The library makes them counts."""
    groups = []
    for name, data, unit in (("acc", acc, acc_unit), ("gyro", gyro, gyro_unit)):
        columns = _channels(name, data)
        if unit is None and any(c.dtype.kind == "f" for c in columns):
            raise ValueError(
                f"{name} holds floating-point values: give acc_unit= and gyro_unit= (acc "
                f"{', '.join(map(repr, _ACC_UNITS))}; gyro {', '.join(map(repr, _GYRO_UNITS))}); "
                "only integer arrays are taken as counts without them"
            )
        _check_finite(name, columns)
        groups.append(columns)
    n, m = len(groups[0][0]), len(groups[1][0])
    if n != m:
        raise ValueError(f"acc and gyro differ in length: acc has {n} samples, gyro {m}")
    columns = groups[0] + groups[1]
    if acc_unit in (None, "counts") and gyro_unit in (None, "counts"):
        for dtype in (np.int16, np.int32):
            if all(np.can_cast(c.dtype, dtype) for c in columns):
                return [c.astype(dtype, copy=False) for c in columns]
    return [c.astype(np.float64, copy=False) for c in columns]


def _warn_notes(name: Optional[str], lines: Any, stacklevel: int) -> None:
    """The library's notes (kinrec::NoteLines) as KinrecWarnings: a file's in the console's
    words, word for word; those of arrays, which no console reads, with the settings
    named as Python's keywords ("overflow='clip'")."""
    for line in lines:
        text = _python_words(line) if name is None else f"{name}: {line}"
        warnings.warn(text, KinrecWarning, stacklevel=stacklevel + 1)


@_takes_settings
def features(
    acc: ArrayLike,
    gyro: ArrayLike,
    *,
    acc_unit: Optional[str] = None,
    gyro_unit: Optional[str] = None,
    rate: Optional[float] = None,
    time: Optional[ArrayLike] = None,
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
    options = _options(acc_unit, gyro_unit)
    channels = _prepare(acc, gyro, acc_unit, gyro_unit)
    n = len(channels[0])
    if time is not None or rate is not None:
        _time_values(np.zeros(0, dtype=np.int64), rate, time, n)  # checked before converting
    raw, notes = _kinrec._features(channels, options, settings, run,
                                   _lead(as_frame, time is not None or rate is not None))
    _warn_notes(None, notes.lines, stacklevel=3)
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
    return _read_file(path, filetype, rate, run, as_frame, settings, stacklevel=4)[0]


def _read_file(path: PathLike, filetype: int, rate: Optional[float], run: Optional[Run],
               as_frame: bool, settings: Mapping[str, Any], stacklevel: int) -> Tuple[Result, Any]:
    """read(), and the file's row of a batch summary (kinrec::SummaryOf)."""
    values = _settings(filetype, settings)
    run = _run(run)
    path_bytes = _path(path)
    name = os.fsdecode(path_bytes)
    if rate is not None:
        _time_values(np.zeros(0, dtype=np.int64), rate, None, 0)
    raw, notes = _kinrec._read(path_bytes, values, run, _lead(as_frame, rate is not None))
    _warn_notes(name, notes.lines, stacklevel=stacklevel)
    result = _result(raw, as_frame, lambda s: _time_values(s, rate, None, 0))
    return result, _kinrec._summary_row(path_bytes, notes, len(result))


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
    _warn_notes(os.fsdecode(source), notes, stacklevel=3)
    return os.fsdecode(name)


convert.__doc__ = (convert.__doc__ or "") + _SETTINGS_DOC + "\n"


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
        run: Optional[Run] = None,
        as_frame: bool = True,
        **settings: Any,
    ) -> None:
        options = _options(acc_unit, gyro_unit)
        self._acc, self._gyro = acc_unit, gyro_unit
        if rate is not None:
            _time_values(np.zeros(0, dtype=np.int64), rate, None, 0)
        self._rate = rate
        self._as_frame = as_frame
        self._said = 0
        self._stream = _kinrec._Stream(_settings(1, settings), _run(run), options)

    def push(self, acc: ArrayLike, gyro: ArrayLike) -> Result:
        """The rows kept from the next samples (arrays as :func:`features` takes them),
        indexed by their input sample counted from the stream's first."""
        raw, notes = self._stream.push(_prepare(acc, gyro, self._acc, self._gyro))
        if notes.wrapped > self._said:  # said once per chunk, in the stream's numbers
            self._said = notes.wrapped
            _warn_notes(None, [line for line in notes.lines if "16-bit range" in line],
                        stacklevel=2)
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
