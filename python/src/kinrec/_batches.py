"""Batches: many recordings converted on every CPU, with a Run carried as one console
batch carries it."""

from __future__ import annotations

import concurrent.futures
import os
from typing import Any, Callable, Dict, List, Mapping, Optional, Sequence, Tuple, Union

from . import _kinrec
from ._convert import _read_file, features
from ._kinrec import Run
from ._results import ArrayLike, Result
from ._settings import (_DEFAULTS, _SETTING_NAMES, PathLike, _integer, _path, _run, _settings,
                        _takes_settings)


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
    """one(i, run) for i in range(count), in order: the library's batch rule
    (kinrec::ConvertHead, kinrec::RestRun) as a console batch follows it: the head one
    by one on the run, then the rest on workers threads, each on a Run of its own."""
    results: List[Result] = []
    _kinrec.convert_head(count, run, lambda i: results.append(one(i, run)))
    rest = range(len(results), count)
    start = _kinrec.rest_bias_count(run)

    def task(i: int) -> Result:
        return one(i, None if run is None else Run(start))

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
                rate=rate if item.get("time") is None else None, run=r, as_frame=as_frame, **common,
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
    summary: bool = False,
    **settings: Any,
) -> Union[List[Result], Tuple[List[Result], Any]]:
    """:func:`read` of many files on all CPUs; the tables in the order of paths.

    With a run, the tables are those of one ``kinrec -r`` over the same files in the
    same order (see :func:`features_many`). workers: threads; None: every CPU.

    summary: also return the batch's summary, ``(tables, summary)``: a DataFrame of one
    row per file with the columns of ``kinrec --summary`` (input, table (None: none
    written), status, samples, rows, beyond_range, first_beyond, peak_beyond,
    skipped_lines, notes), made by the library from each conversion's notes, and the
    provenance in ``summary.attrs``: "version" and "settings" (as the summary's "#" lines
    say them).
    """
    values = _settings(filetype, settings)
    run = _run(run)
    count = _workers(workers)
    common = {k: settings[k] for k in _SETTING_NAMES}
    if isinstance(paths, (str, bytes, os.PathLike)):
        raise TypeError("read_many() takes a sequence of paths, not one path; read() reads one")
    names = [_path(p) for p in paths]
    rows: List[Any] = [None] * len(names)

    def one(i: int, r: Optional[Run]) -> Result:
        result, rows[i] = _read_file(names[i], filetype, rate, r, as_frame, common,
                                     stacklevel=2)
        return result

    tables = _many(len(names), one, run, count)
    if not summary:
        return tables
    import pandas as pd

    frame = pd.DataFrame(rows, columns=list(_kinrec.SUMMARY_COLUMNS))
    frame.attrs["version"] = _kinrec.__version_info__
    frame.attrs["settings"] = _kinrec._settings_text(values)
    return tables, frame
