import pytest

from kinrec_testing import kinrec_exe


@pytest.fixture
def exe():
    """The console tool (KINREC_EXE, or build/kinrec); tests comparing with it skip
    without one."""
    path = kinrec_exe()
    if path is None:
        pytest.skip("no kinrec executable (set KINREC_EXE)")
    return path
