"""Shared helpers of the tools' tests."""

import csv
import os
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
TOOLS = os.path.dirname(HERE)
REPO = os.path.dirname(TOOLS)
DATA = os.path.join(HERE, "data")
IMPORT = os.path.join(TOOLS, "kinrec-import.py")
PLOT = os.path.join(TOOLS, "kinrec-plot.py")
SUMMARY_PLOT = os.path.join(TOOLS, "kinrec-summary-plot.py")


def importable(module):
    """Whether this interpreter imports module (PYTHONPATH as the tests run)."""
    return subprocess.run([sys.executable, "-c", "import " + module],
                          capture_output=True, timeout=120).returncode == 0


# The importer reads through the kinrec package's compiled library.
HAVE_PACKAGE = importable("kinrec")


def run(script, *args, cwd=None, env=None):
    """(exit status, stdout, stderr) of a tool run with this interpreter; the importer's
    tests skip where the kinrec package is not built."""
    if script == IMPORT and not HAVE_PACKAGE:
        raise unittest.SkipTest("the kinrec Python package is not importable (it reads for "
                                "kinrec-import.py)")
    p = subprocess.run([sys.executable, script] + [str(a) for a in args], cwd=cwd, env=env,
                       stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, timeout=120)
    return p.returncode, p.stdout, p.stderr


def data(name):
    return os.path.join(DATA, name)


def read_rows(path):
    """The header and the data rows of a CSV file."""
    with open(path, newline="") as f:
        rows = list(csv.reader(f))
    return rows[0], rows[1:]


def cnf_settings(stdout):
    """The lines of printed kinrec.cnf text that are not comments."""
    return [line for line in stdout.splitlines() if line and not line.startswith("#")]


def write(path, text):
    with open(path, "w", newline="") as f:
        f.write(text)
    return path


class TempDirTest(unittest.TestCase):
    """A test with a scratch directory of its own, removed afterwards."""

    def setUp(self):
        self._dir = tempfile.TemporaryDirectory()
        self.tmp = self._dir.name

    def tearDown(self):
        self._dir.cleanup()

    def path(self, name):
        return os.path.join(self.tmp, name)
