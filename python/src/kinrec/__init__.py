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
- :func:`dataset` converts every recording of a public fall data set into one table
  with the set's metadata (subject, activity, fall, trial), and :func:`windows` cuts it
  into labelled windows with statistics: a training set in two calls;
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

from . import _kinrec
from ._batches import features_many, read_many
from ._convert import Stream, convert, features, read, walk
from ._datasets import dataset, windows
from ._errors import FileRefusedError, KinrecWarning
from ._kinrec import BIAS_COUNT_LIMIT, Run
from ._load import LoadError, Recording, load
from ._results import read_table

__all__ = [
    "BIAS_COUNT_LIMIT",
    "FileRefusedError",
    "KinrecWarning",
    "LoadError",
    "Recording",
    "Run",
    "Stream",
    "convert",
    "dataset",
    "features",
    "features_many",
    "load",
    "read",
    "read_many",
    "read_table",
    "walk",
    "windows",
]
__version__: str = _kinrec.__version_info__

# The names are the package's: kinrec.Stream, not kinrec._convert.Stream.
for _name in __all__:
    _thing = globals()[_name]
    if getattr(_thing, "__module__", __name__) != __name__ and hasattr(_thing, "__qualname__"):
        try:
            _thing.__module__ = __name__
        except (AttributeError, TypeError):  # pragma: no cover - a built-in's
            pass
del _name, _thing
