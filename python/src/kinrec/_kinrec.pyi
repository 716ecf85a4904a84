# The compiled part of kinrec; the public names are those of the kinrec package.
from typing import Any, List, Optional, Tuple

import numpy as np

BIAS_COUNT_LIMIT: int
# (keyword, key or None, field, default, meaning) of each setting; field is Settings'.
SETTINGS: List[Tuple[str, Optional[str], str, int, str, Optional[List[str]]]]
__version_info__: str

class Run:
    def __init__(self, bias_count: int = 0) -> None: ...
    @property
    def bias_count(self) -> int: ...

class Settings:  # one int attribute per field of SETTINGS
    def __init__(self) -> None: ...
    def __getattr__(self, field: str) -> int: ...
    def __setattr__(self, field: str, value: int) -> None: ...

class AccUnit:
    __members__: dict  # "counts", "g", "mg", "m/s^2"

class GyroUnit:
    __members__: dict  # "counts", "deg/s", "rad/s"

class _Options:
    def __init__(self, acc_unit: AccUnit, gyro_unit: GyroUnit) -> None: ...

class Notes:
    wrapped: int
    first_wrapped: int
    wrap_peak: int
    frequency_repaired: bool
    @property
    def lines(self) -> List[str]: ...

# channels: six 1-D arrays of one dtype, int16, int32 or float64.
def _features(
    channels: List[np.ndarray], options: _Options, settings: Settings, run: Optional[Run],
    lead: int = 0,
) -> Tuple[Tuple[List[str], np.ndarray, Any], Notes]: ...
def _read(
    path: bytes, settings: Settings, run: Optional[Run], lead: int = 0
) -> Tuple[Tuple[List[str], np.ndarray, Any], List[str]]: ...
def _convert(
    input: bytes, output: Optional[bytes], settings: Settings, run: Optional[Run]
) -> Tuple[bytes, List[str]]: ...
def _find_inputs(
    top: bytes, selector: Optional[bytes], recursive: bool
) -> Tuple[List[bytes], List[bytes], List[bytes], List[Tuple[bytes, int]]]: ...

class _Stream:
    def __init__(self, settings: Settings, run: Optional[Run], options: _Options) -> None: ...
    def push(self, channels: List[np.ndarray]) -> Tuple[Tuple[List[str], np.ndarray, Any], Notes]: ...
    def close(self) -> None: ...
    @property
    def closed(self) -> bool: ...
    @property
    def samples(self) -> int: ...
