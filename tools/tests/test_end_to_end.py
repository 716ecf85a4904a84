"""An imported recording through the real kinrec (path in KINREC_EXE), with the
kinrec.cnf lines the import printed."""

import os
import subprocess
import tempfile
import unittest

from support import IMPORT, REPO, data, read_rows, run, write

KINREC = os.environ.get("KINREC_EXE")


@unittest.skipUnless(KINREC, "KINREC_EXE is not set")
class EndToEndTest(unittest.TestCase):
    def convert(self, workdir, recording, cnf_text):
        """Runs kinrec on one recording with a kinrec.cnf; returns the table's rows."""
        write(os.path.join(workdir, "kinrec.cnf"), cnf_text)
        p = subprocess.run([KINREC, recording], cwd=workdir, stdout=subprocess.PIPE,
                           stderr=subprocess.STDOUT, text=True, timeout=120)
        self.assertEqual(p.returncode, 0, p.stdout)
        table = os.path.join(workdir, recording[:-4] + "_DSV.csv")
        self.assertTrue(os.path.exists(table), p.stdout)
        return read_rows(table)[1]

    def test_imported_extracts(self):
        # The bundled physical example holds the same pelvis samples as the first
        # extract, so its table's first 40 rows must come out exactly.
        with open(os.path.join(REPO, "examples", "physical", "pelvis.csv")) as f:
            example = "".join(f.readlines()[:41])
        cases = [
            ("xio-imu-mocap-pelvis.csv", 40, "example"),
            # 40 rows at about 400 Hz with RESAMPLECOUNT 8: every 8th row is kept
            ("xio-gait-tracking-short_walk.csv", 5, None),
        ]
        for name, rows_wanted, compare in cases:
            with self.subTest(name), tempfile.TemporaryDirectory() as tmp:
                status, cnf, stderr = run(IMPORT, data(name), "-o",
                                          os.path.join(tmp, "in.csv"))
                self.assertEqual(status, 0, stderr)
                rows = self.convert(tmp, "in.csv", cnf)
                self.assertEqual(len(rows), rows_wanted)
                if compare:
                    write(os.path.join(tmp, "ex.csv"), example)
                    self.assertEqual(rows, self.convert(tmp, "ex.csv", "FILETYPE 2\n"))


if __name__ == "__main__":
    unittest.main()
