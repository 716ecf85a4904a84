"""Settings and signatures: the settings' keywords of every conversion, made from the
library's own table of them (kinrec.h: KINREC_SETTINGS), and the checks of arguments
shared by the conversions."""

from __future__ import annotations

import difflib
import functools
import inspect
import os
import re
import textwrap
import warnings
from typing import Any, Callable, Dict, Mapping, Optional, Sequence, Tuple, Union

import numpy as np

from . import _kinrec
from ._errors import KinrecWarning
from ._kinrec import Run

PathLike = Union[str, "os.PathLike[str]"]
_INT32_MIN, _INT32_MAX = -(2**31), 2**31 - 1

# The settings, from the compiled table that also makes the console's configuration
# keys (kinrec.h: KINREC_SETTINGS): (keyword, key or None, field, default, meaning); the
# field is the attribute of _kinrec.Settings. Fields ending in "Out" are column
# switches, bools here; a setting with words (overflow: "wrap", "clip", "raise") takes
# them, for its values 0, 1, 2 ...
_SETTINGS: Tuple[Tuple[str, Optional[str], str, int, str], ...] = tuple(
    tuple(entry[:5]) for entry in _kinrec.SETTINGS  # type: ignore[misc]
)
_WORDS: Dict[str, Tuple[str, ...]] = {
    entry[0]: tuple(entry[5]) for entry in _kinrec.SETTINGS if entry[5] is not None
}
_SWITCHES = frozenset(keyword for keyword, _, field, _, _ in _SETTINGS if field.endswith("Out"))
_DEFAULTS: Dict[str, Any] = {
    keyword: bool(default) if keyword in _SWITCHES else
    _WORDS[keyword][default] if keyword in _WORDS else default
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
            annotation="bool" if name in _SWITCHES else "str" if name in _WORDS else
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
            rate = kwargs.get("rate")
            if rate is None and kwargs.get("time") is not None:
                rate = _rate_of_stamps(name_of, kwargs["time"])
            _settle_rate(name_of, rate, kwargs)
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


def _rate_of_stamps(function: str, time: object) -> Optional[float]:
    """The rate of steady time stamps (seconds, or datetime64), for the settings rate=
    would choose: their typical step when nineteen steps in twenty lie within half of
    it; None otherwise, said when they are uneven."""
    stamps = np.asarray(time)
    if stamps.ndim != 1 or len(stamps) < 3:
        return None  # refused, or too short to tell; the checks come later
    if stamps.dtype.kind in "mM":
        steps = np.diff(stamps).astype("timedelta64[ns]").astype(np.float64) * 1e-9
    elif stamps.dtype.kind in "iuf":
        steps = np.diff(stamps.astype(np.float64))
    else:
        return None
    step = float(np.median(steps))
    steady = step > 0 and np.count_nonzero(np.abs(steps - step) < step / 2) * 20 >= 19 * len(steps)
    if not steady:
        warnings.warn(
            f"{function}(): the time stamps are uneven (or not rising), so no rate follows "
            "from them: the attitude filter steps 0.02 s per kept sample; resample the "
            "recording to 50 Hz first (the importer's --rate 50)", KinrecWarning, stacklevel=4)
        return None
    return 1.0 / step


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


def _word(name: str, value: object) -> int:
    words = _WORDS[name]
    if not isinstance(value, str) or value not in words:
        raise ValueError(f"{name} must be one of {', '.join(map(repr, words))}, not {value!r}")
    return words.index(value)


def _python_words(text: str) -> str:
    """A message of the library in its console words as Python's: a configuration key and
    its value ("OVERFLOW clip", "RESAMPLECOUNT 4") become the keyword ("overflow='clip'",
    "resample_count=4")."""
    for keyword, key, _, _, _ in _SETTINGS:
        if key is None:
            continue
        words = _WORDS.get(keyword)
        if words:
            for word in words:
                text = text.replace(f"{key} {word}", f"{keyword}={word!r}")
        text = re.sub(rf"\b{key} (-?\d+)", rf"{keyword}=\1", text)
        text = re.sub(rf"\b{key}\b", keyword, text)
    return text


def _settings(filetype: int, values: Mapping[str, object]) -> _kinrec.Settings:
    """The settings as the library takes them (kinrec::Settings), each value checked to be
    a 32-bit integer; the library checks what they mean."""
    result = _kinrec.Settings()
    for keyword, _, field, _, _ in _SETTINGS:
        if keyword == "filetype":
            value = _integer("filetype", filetype)
        elif keyword in _SWITCHES:
            value = _switch(keyword, values[keyword])
        elif keyword in _WORDS:
            value = _word(keyword, values[keyword])
        else:
            value = _integer(keyword, values[keyword])
        setattr(result, field, value)
    return result


def _run(run: Optional[Run]) -> Optional[Run]:
    if run is not None and not isinstance(run, Run):
        raise TypeError(f"run must be a kinrec.Run or None, not {type(run).__name__}")
    return run
