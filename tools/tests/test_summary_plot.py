"""kinrec-summary-plot.py: a PNG of a batch summary; a clear error for anything that is
not one."""

import importlib.util
import os
import unittest

from support import SUMMARY_PLOT, TempDirTest, data, run, write

try:
    import matplotlib  # noqa: F401
    HAVE_MATPLOTLIB = True
except ImportError:
    HAVE_MATPLOTLIB = False
PNG_MAGIC = b"\x89PNG\r\n\x1a\n"
HEADER = ("input,table,status,samples,rows,beyond_range,first_beyond,peak_beyond,"
          "skipped_lines,notes")
COMMENTS = ("# kinrec summary\n# version 1.0.0\n# settings FileType=1 ResampleCount=0 "
            "SamplingFrequency=50 CutOffFrequency=5\n")
# A failed file, a path with a comma, a note with a comma, and a quoted note whose second
# line begins with '#' (data, not a comment).
ROWS = ('./a.csv,./a_DSV.csv,ok,1500,1500,0,,,0,\n'
        './sub/b.csv,./sub/b_DSV.csv,ok,2000,1998,3,17,40000,2,'
        '"2 of 2004 lines skipped (x, y); 3 samples beyond"\n'
        '"./walks, day 2/c.csv","./walks, day 2/c_DSV.csv",ok,900,900,0,,,0,\n'
        './d.csv,./d_DSV.csv,ok,400,400,1,0,-32769,0,"first line\n# second line"\n'
        './e.bin,./e_DSV.csv,not_dataset,0,0,0,,,0,not a dataset file\n')
SUMMARY = COMMENTS + HEADER + "\n" + ROWS


def load_tool():
    found = importlib.util.spec_from_file_location("summary_plot", SUMMARY_PLOT)
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


class SummaryPlotTest(TempDirTest):
    def test_reads_rows_as_csv(self):
        """Quoted commas and line ends stay in their field; a '#' inside a quoted field
        is data; empty optional fields are None; CR LF lines read as LF lines."""
        tool = load_tool()
        for label, text in (("LF", SUMMARY), ("CR LF", SUMMARY.replace("\n", "\r\n"))):
            with self.subTest(label):
                version, rows = tool.read_summary(write(self.path("s.csv"), text))
                self.assertEqual(version, "1.0.0")
                got = [(r["input"], r["status"], r["rows"], r["beyond_range"],
                        r["first_beyond"], r["peak_beyond"]) for r in rows]
                self.assertEqual(got, [
                    ("./a.csv", "ok", 1500, 0, None, None),
                    ("./sub/b.csv", "ok", 1998, 3, 17, 40000),
                    ("./walks, day 2/c.csv", "ok", 900, 0, None, None),
                    ("./d.csv", "ok", 400, 1, 0, -32769),
                    ("./e.bin", "not_dataset", 0, 0, None, None),
                ])
                self.assertEqual(rows[3]["notes"].replace("\r\n", "\n"),
                                 "first line\n# second line")

    @unittest.skipUnless(HAVE_MATPLOTLIB, "matplotlib is not installed")
    def test_png_of_a_summary(self):
        summary = write(self.path("batch.csv"), SUMMARY)
        no_version = write(self.path("old.csv"), HEADER + "\n" + ROWS)
        cases = [
            # (summary, extra options, the PNG written)
            (summary, [], self.path("batch.png")),
            (summary, ["-o", self.path("out.png"), "--title", "night run"],
             self.path("out.png")),
            (no_version, [], self.path("old.png")),
        ]
        for path, options, png in cases:
            with self.subTest(os.path.basename(png)):
                status, stdout, stderr = run(SUMMARY_PLOT, path, *options)
                self.assertEqual(status, 0, stderr)
                self.assertEqual(stdout, "%s -> %s\n" % (path, png))
                with open(png, "rb") as f:
                    self.assertEqual(f.read(8), PNG_MAGIC)

    def test_not_a_summary(self):
        # Runs without matplotlib: the summary is read before the plotting library.
        cases = [
            ("a table", data("xio-imu-mocap-pelvis_DSV.csv"), "its first row is not input,"),
            ("columns in another order",
             write(self.path("o.csv"), HEADER.replace("input,table", "table,input") + "\n"),
             "its first row is not input,"),
            ("empty file", write(self.path("e.csv"), ""), "its first row is not input,"),
            ("comments only", write(self.path("c.csv"), COMMENTS), "its first row is not"),
            ("header only", write(self.path("h.csv"), COMMENTS + HEADER + "\n"),
             "lists no files"),
            ("row too short", write(self.path("s.csv"), HEADER + "\n./a.csv,./a_DSV.csv,ok\n"),
             "row 1 has 3 fields, not 10"),
            ("text for a count", write(self.path("t.csv"), HEADER + "\n" + ROWS.replace(
                "ok,900,900", "ok,900,many")), "row 3, rows: 'many' is not a whole number"),
            ("text for first_beyond", write(self.path("f.csv"), HEADER + "\n" + ROWS.replace(
                ",3,17,", ",3,x,")), "row 2, first_beyond: 'x' is not a whole number"),
            ("no status", write(self.path("n.csv"), HEADER + "\n./a.csv,./a_DSV.csv,,1,1,0,,,0,\n"),
             "row 1 has no status"),
            ("missing file", self.path("absent.csv"), "cannot read"),
        ]
        binary = self.path("b.bin")
        with open(binary, "wb") as f:
            f.write(b"\xff\xfe\x00input")
        cases.append(("binary", binary, "not UTF-8 text"))
        for label, path, message in cases:
            with self.subTest(label):
                png = self.path("out.png")
                status, stdout, stderr = run(SUMMARY_PLOT, path, "-o", png)
                self.assertEqual(status, 1)
                self.assertIn(message, stderr)
                self.assertTrue(stderr.startswith("kinrec-summary-plot: error: "), stderr)
                self.assertEqual(stdout, "")
                self.assertFalse(os.path.exists(png))


if __name__ == "__main__":
    unittest.main()
