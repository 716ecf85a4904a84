"""Runs the package's tests for CTest: exit status 77 (skipped) without pytest, NumPy or
pandas, else pytest's."""
import sys

try:
    import numpy  # noqa: F401
    import pandas  # noqa: F401
    import pytest
except ImportError as e:
    print(f"python_tests skipped: {e}")
    sys.exit(77)

sys.exit(pytest.main(["-q", "-p", "no:cacheprovider", *sys.argv[1:]]))
