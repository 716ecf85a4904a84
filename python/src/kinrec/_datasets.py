"""Public fall data sets as training tables: :func:`dataset` converts every recording of
a data set on its own, with the set's metadata in columns, and :func:`windows` cuts such
a table into labelled windows with per-column statistics."""

from __future__ import annotations

import concurrent.futures
import os
import warnings
from typing import Any, Dict, List, Optional

import numpy as np

from . import _kinrec
from ._errors import KinrecWarning
from ._load import LoadError, python_words
from ._settings import _DEFAULTS, _SETTING_NAMES, _SETTINGS_DOC, PathLike, _settings, _unknown

METADATA = ("file", "subject", "activity", "fall", "trial", "position")
LABELS = ("impact", "trial", "onset")


def convert_trials(name, root, position, settings, workers):
    """The data set's trials and each one's conversion, in path order, on workers threads
    (each conversion reads and converts without the GIL)."""
    trials = _kinrec._find_trials(name, os.fspath(root), position or "")
    if not trials:
        raise LoadError("no %s recordings under %s (docs/data.md gives the layout)" % (
            name.lower(), os.fspath(root)))
    workers = workers or os.cpu_count() or 1
    with concurrent.futures.ThreadPoolExecutor(max_workers=workers) as pool:
        done = list(pool.map(lambda t: _kinrec._convert_trial(name, t, settings), trials))
    return trials, done


def frame_of(trials, done):
    """One DataFrame: the metadata columns, time, then the table's columns."""
    import pandas as pd

    counts = np.array([len(d[2]) for d in done], dtype=np.int64)
    meta: Dict[str, Any] = {}
    for key in METADATA:
        values = [t[key] for t in trials]
        if key == "position" and not any(values):
            continue  # a set of one sensor
        if key in ("fall", "trial"):
            meta[key] = np.repeat(np.array(values), counts)
            continue
        categories = sorted(set(values))
        code = {v: i for i, v in enumerate(categories)}
        meta[key] = pd.Categorical.from_codes(
            np.repeat(np.array([code[v] for v in values], dtype=np.int32), counts), categories)
    meta["time"] = np.concatenate([d[2] for d in done])
    # The tables' columns in one block, each trial's copied in once; the frame keeps it.
    names = done[0][0]
    block = np.empty((len(names), int(counts.sum())), dtype=np.int32)
    at = 0
    for d, n in zip(done, counts):
        block[:, at:at + n] = d[1]
        at += n
    frame = pd.concat([pd.DataFrame(meta), pd.DataFrame(block.T, columns=names, copy=False)],
                      axis=1, copy=False)
    frame.attrs["beyond_range"] = {t["file"]: int(d[3]) for t, d in zip(trials, done)}
    frame.attrs["notes"] = [note for d in done for note in d[4]]
    return frame


def window_stats(values, lo, hi):
    """min, max, mean and std (of the population) of values' rows [lo, hi) per window."""
    padded = np.vstack([values, values[-1:]])  # reduceat takes the end index too
    pairs = np.empty(2 * len(lo), dtype=np.int64)
    pairs[0::2], pairs[1::2] = lo, hi
    low = np.minimum.reduceat(padded, pairs, axis=0)[0::2]
    high = np.maximum.reduceat(padded, pairs, axis=0)[0::2]
    centre = values.mean(axis=0)  # sums about the mean keep the differences exact enough
    shifted = values - centre
    sums = np.vstack([np.zeros((1, values.shape[1])), np.cumsum(shifted, axis=0)])
    squares = np.vstack([np.zeros((1, values.shape[1])), np.cumsum(shifted * shifted, axis=0)])
    n = (hi - lo)[:, None].astype(np.float64)
    mean = (sums[hi] - sums[lo]) / n
    var = np.maximum((squares[hi] - squares[lo]) / n - mean * mean, 0.0)
    return low, high, mean + centre, np.sqrt(var)


def window_frame(frame, seconds, step, label):
    """The windows of each recording: seconds long, starting every step seconds from its
    first row, whole ones only."""
    import pandas as pd

    if label not in LABELS:
        raise ValueError("label must be one of %s, not %r" % (", ".join(LABELS), label))
    if label == "onset":
        raise ValueError("label='onset' needs the onset and impact frames a data set publishes; "
                         "none of the sets kinrec reads has them: use 'impact' or 'trial'")
    for value, what in ((seconds, "seconds"), (step, "step")):
        if isinstance(value, bool) or not isinstance(value, (int, float)) or \
                not (np.isfinite(value) and value > 0):
            raise ValueError("%s must be a positive number of seconds, not %r" % (what, value))
    missing = [c for c in ("file", "fall", "time", "raw_acc") if c not in frame.columns]
    if missing:
        raise ValueError("windows() takes a kinrec.dataset() table; it has no %s column" %
                         " or ".join(missing))
    meta = [c for c in METADATA if c in frame.columns and c != "fall"]
    features = [c for c in frame.columns if c not in METADATA and c != "time"]
    codes = pd.factorize(frame["file"])[0]
    # rows of one recording are together, in time order
    bounds = np.flatnonzero(np.r_[True, codes[1:] != codes[:-1], True])
    time = frame["time"].to_numpy(dtype=np.float64)
    values = frame[features].to_numpy(dtype=np.float64)
    raw_acc = frame["raw_acc"].to_numpy()
    fall = frame["fall"].to_numpy(dtype=bool)
    parts: Dict[str, List[np.ndarray]] = {k: [] for k in
                                          ("first", "start", "rows", "low", "high", "mean",
                                           "std", "label", "fall_trial")}
    for a, b in zip(bounds[:-1], bounds[1:]):
        t = time[a:b]
        # a window is whole when its last sample is there: the rows reach to one step
        # of the samples short of its end
        dt = float(np.median(np.diff(t))) if len(t) > 1 else 0.0
        if t[-1] + dt - t[0] + 1e-9 < seconds:
            continue
        count = int(np.floor((t[-1] + dt - t[0] - seconds) / step + 1e-9)) + 1
        begin = t[0] + step * np.arange(count)
        lo = np.searchsorted(t, begin - 1e-9)
        hi = np.searchsorted(t, begin + seconds - 1e-9)
        low, high, mean, std = window_stats(values[a:b], lo, hi)
        is_fall = bool(fall[a])
        if label == "trial":
            labelled = np.full(count, is_fall)
        else:  # the windows that hold the trial's impact, its largest raw_acc
            impact = int(np.argmax(raw_acc[a:b]))
            labelled = (lo <= impact) & (impact < hi) & is_fall
        for key, value in (("first", np.full(count, a)), ("start", begin), ("rows", hi - lo),
                           ("low", low), ("high", high), ("mean", mean), ("std", std),
                           ("label", labelled), ("fall_trial", np.full(count, is_fall))):
            parts[key].append(value)
    if not parts["first"]:
        raise ValueError("no recording is %g s long" % seconds)
    joined = {k: np.concatenate(v) for k, v in parts.items()}
    columns: Dict[str, Any] = {c: frame[c].to_numpy()[joined["first"]] for c in meta}
    columns["start"] = joined["start"]
    columns["end"] = joined["start"] + seconds
    columns["rows"] = joined["rows"]
    for stat, key in (("min", "low"), ("max", "high"), ("mean", "mean"), ("std", "std")):
        for i, c in enumerate(features):
            columns["%s_%s" % (c, stat)] = joined[key][:, i]
    columns["fall_trial"] = joined["fall_trial"]
    columns["fall"] = joined["label"]
    out = pd.DataFrame(columns)
    for c in meta:
        if isinstance(frame[c].dtype, pd.CategoricalDtype):
            out[c] = pd.Categorical(out[c], categories=frame[c].cat.categories)
    return out


def dataset(name: str, root: PathLike, *, position: Optional[str] = None,
            overflow: str = "clip", workers: Optional[int] = None, **settings: Any) -> Any:
    """Every recording of a public fall data set under root as one pandas DataFrame.

    name: "sisfall", "smartfallmm", "umafall", "mobifall" or "fallalld" (docs/data.md
        gives each layout and what is checked in the files).
    root: the data set's folder as published.
    position: the body position in the set's own words, lower case: UMAFall's waist,
        wrist, ankle, chest, rightpocket; FallAllD's waist, neck, wrist; SmartFallMM's
        hip, wrist (its meta sensors), watch, phone. None: the waist or hip sensor of a
        set with several (the position column says which); sets of one sensor take none.
    overflow: what becomes of values beyond the 16-bit counts (+-4 g, +-500 deg/s):
        "clip" (the default here: these sets come from +-8 g and +-16 g sensors, and
        wrapped impacts teach nothing), "wrap" as the console does, or "raise".
    workers: threads converting recordings side by side; None: one per CPU.

    Each recording is read on its own, put on the 50 Hz grid and converted as
    ``kinrec --alone`` converts a file: no table depends on the other trials in the
    folder. One row per kept sample, columns: file (the recording's path under root),
    subject (as the set names it: SisFall's SA01 and SE01 are different people),
    activity (the set's own code), fall (bool), trial (int), position (for sets of
    several sensors), time (seconds from the recording's first grid point), then the
    table's columns (accX ... yaw_diff). ``attrs["beyond_range"]`` counts the samples
    beyond the counts' range per file, ``attrs["notes"]`` holds what the readers noted
    as (kind, file, text).
    """
    import pandas as pd  # noqa: F401  (the result is a DataFrame)

    unknown = {k: v for k, v in settings.items() if k not in _SETTING_NAMES or k == "overflow"}
    _unknown("dataset", unknown, ("position", "overflow", "workers") + tuple(
        n for n in _SETTING_NAMES if n != "overflow"))
    if workers is not None and (isinstance(workers, bool) or not isinstance(workers, int)
                                or workers < 1):
        raise ValueError("workers must be a positive int or None, not %r" % (workers,))
    values = dict(_DEFAULTS)
    values.update(settings)
    values["overflow"] = overflow
    try:
        trials, done = convert_trials(name, root, position, _settings(1, values), workers)
    except LoadError:
        raise
    except ValueError as e:
        raise LoadError(python_words(str(e))) from None
    for kind, where, text in (n for d in done for n in d[4] if n[0] == "warning"):
        warnings.warn("%s: %s" % (where, python_words(text)), KinrecWarning, stacklevel=2)
    return frame_of(trials, done)


dataset.__doc__ = (dataset.__doc__ or "") + """
    Settings (as for :func:`features`), all but overflow:
""" + _SETTINGS_DOC + """

    Example, a training set of SisFall's 2 s windows split by subject::

        frame = kinrec.dataset("sisfall", "SisFall_dataset")
        win = kinrec.windows(frame)           # one row per window, fall: its label
"""


def windows(frame: Any, seconds: float = 2.0, step: float = 1.0, *,
            label: str = "impact") -> Any:
    """The windows of a :func:`dataset` table: one row per window of each recording.

    seconds: [s] a window's length; step: [s] between the starts of two windows, from
        each recording's first row. Only whole windows are made.
    label: which windows are falls (the column fall):
        "impact": those holding a fall trial's impact, its largest raw_acc; no window
        of an activity trial;
        "trial": every window of a fall trial;
        "onset": the published onset-to-impact span, for a set that publishes one
        (none of those :func:`dataset` reads does: ValueError).

    Columns: the metadata (file, subject, activity, trial, position), start and end [s],
    rows (the table rows in the window), then for each of the table's columns its
    min, max, mean and std (population) as <column>_min ..., fall_trial (the trial's
    fall) and fall (the window's label). The subject column makes grouped splits
    direct: ``GroupKFold().split(X, y, groups=win["subject"])``.
    """
    return window_frame(frame, seconds, step, label)
