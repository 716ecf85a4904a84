"""kinrec-plot.py: a PNG of a table; a clear error for anything that is not one."""

import os
import shutil
import sys
import unittest

from support import PLOT, TempDirTest, data, run, write

try:
    import matplotlib  # noqa: F401
    HAVE_MATPLOTLIB = True
except ImportError:
    HAVE_MATPLOTLIB = False
PNG_MAGIC = b"\x89PNG\r\n\x1a\n"
FIXED = "accX,accY,accZ,gyroX,gyroY,gyroZ,lpf_acc,raw_acc,lpf_omega,raw_omega"


class PlotTest(TempDirTest):
    @unittest.skipUnless(HAVE_MATPLOTLIB, "matplotlib is not installed")
    def test_png_of_a_table(self):
        minimal = write(self.path("minimal_DSV.csv"),
                        FIXED + "\n8192,0,0,0,0,0,100,100,0,0\n0,0,0,0,0,0,50,0,0,0\n")
        nonfinite = write(self.path("nan_DSV.csv"),
                          FIXED + ", fall_counter, roll, pitch, yaw\n"
                          "8192,0,0,0,0,0,-2147483648,100,0,0,0,0,-90,0\n"
                          "8192,0,0,0,0,0,100,100,0,0,0,1,-89,2\r\n")
        cases = [
            # (table, extra options, the PNG written)
            (shutil.copy(data("xio-imu-mocap-pelvis_DSV.csv"), self.tmp), ["--rate", "50"],
             self.path("xio-imu-mocap-pelvis_DSV.png")),
            (minimal, ["--threshold", "80", "-o", self.path("m.png")],
             self.path("m.png")),
            (nonfinite, [], self.path("nan_DSV.png")),
        ]
        for table, options, png in cases:
            with self.subTest(os.path.basename(table)):
                status, stdout, stderr = run(PLOT, table, *options)
                self.assertEqual(status, 0, stderr)
                self.assertIn(png, stdout)
                with open(png, "rb") as f:
                    self.assertEqual(f.read(8), PNG_MAGIC)

    def test_not_a_table(self):
        # Runs without matplotlib: the table is read before the plotting library.
        cases = [
            ("imported recording", data("xio-imu-mocap-pelvis.csv"), "is not a kinrec table"),
            ("text in a row", write(self.path("t.csv"),
                                    FIXED + "\n1,2,3,4,5,6,7,8,9,x\n"), "line 2 is not a row"),
            ("row too short", write(self.path("s.csv"),
                                    FIXED + "\n1,2,3,4,5,6,7,8,9\n"), "line 2 is not a row"),
            ("empty file", write(self.path("e.csv"), ""), "is not a kinrec table"),
            ("header only", write(self.path("h.csv"), FIXED + "\n"), "no rows"),
            ("missing file", self.path("absent.csv"), "cannot read"),
        ]
        for label, path, message in cases:
            with self.subTest(label):
                png = self.path("out.png")
                status, stdout, stderr = run(PLOT, path, "-o", png)
                self.assertEqual(status, 1)
                self.assertIn(message, stderr)
                self.assertEqual(stdout, "")
                self.assertFalse(os.path.exists(png))

    def test_missing_matplotlib_names_the_python(self):
        # A second Python first on PATH lacks the package Debian installs for its own:
        # the message must say which interpreter could not import it.
        fake = os.path.join(self.tmp, "fake")
        os.makedirs(os.path.join(fake, "matplotlib"))
        write(os.path.join(fake, "matplotlib", "__init__.py"), "raise ImportError('absent')\n")
        table = shutil.copy(data("xio-imu-mocap-pelvis_DSV.csv"), self.tmp)
        env = dict(os.environ, PYTHONPATH=fake)
        status, stdout, stderr = run(PLOT, table, "-o", self.path("out.png"), env=env)
        self.assertEqual((status, stdout), (1, ""))
        self.assertIn("matplotlib is needed, and %s (the Python running this" % sys.executable,
                      stderr)
        self.assertFalse(os.path.exists(self.path("out.png")))


if __name__ == "__main__":
    unittest.main()
