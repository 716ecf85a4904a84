"""Results: the rows the extension hands back as pandas DataFrames or NumPy structured
arrays, their time column, and tables kinrec wrote read back."""

from __future__ import annotations

import os
import warnings
from typing import Any, Callable, List, Optional, Tuple

import numpy as np

from ._errors import FileRefusedError
from ._settings import PathLike

try:
    import pandas as _pd
except ImportError:  # pragma: no cover - exercised only where pandas is missing
    _pd = None

Result = Any  # a pandas.DataFrame, or a NumPy structured array
ArrayLike = Any  # an array of shape (N, 3), or a sequence of three 1-D arrays

_FIXED_HEADER = "accX,accY,accZ,gyroX,gyroY,gyroZ,lpf_acc,raw_acc,lpf_omega,raw_omega"


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
