"""kinrec-import.py: the three real data sets, merging, rate advice, wrap warnings,
formats and bad input."""

import datetime
import math
import os
import re
import shlex
import unittest

from support import IMPORT, REPO, TempDirTest, cnf_settings, data, read_rows, run, write

HEADER = ["time_s", "source_row", "acc_x_g", "acc_y_g", "acc_z_g",
          "gyro_x_dps", "gyro_y_dps", "gyro_z_dps"]
GEOTEC_UNITS = ["--acc-unit", "m/s^2", "--gyro-unit", "rad/s", "--time-unit", "ms"]


class ImportTest(TempDirTest):
    def assertRowValues(self, row, expected, delta):
        for got, want in zip(row[2:], expected):
            self.assertAlmostEqual(float(got), want, delta=delta, msg=row)


class RealDataTest(ImportTest):
    # Extracts of the published files (tests/data/README.md). First-row values are
    # the source's, reordered to acceleration first and converted by hand:
    # 0.3832031488 m/s^2 / 9.80665 = 0.0390758 g, -0.0109955706 rad/s = -0.6299998 deg/s.
    CASES = [
        dict(name="xio-imu-mocap-pelvis.csv", args=[], rows=40,
             first=[0.903545, -0.036132, 0.439224, 1.013036, 0.755306, 0.729441],
             second_time="0.020059",  # time stamps in us, from the header
             settings=["FILETYPE 2"], stdout=[], stderr=[]),
        dict(name="xio-gait-tracking-short_walk.csv", args=[], rows=40,
             first=[-0.2383607, 0.3814775, 1.311031, 23.16611, 315.3286, -32.09768],
             second_time="0.002511",
             settings=["FILETYPE 2", "RESAMPLECOUNT 8", "SAMPLINGFREQUENCY 50"], stdout=[],
             stderr=["31 angular rate value(s) beyond +-500 deg/s", "1 time stamp(s) repeat"]),
        dict(name="geotec-s01_01_sw.csv", args=GEOTEC_UNITS + ["--rate", "50"], rows=17,
             first=[0.0390758, -0.3604747, 0.9290282, -0.6299998, -4.1299985, 5.179998],
             second_time="0.020000",
             # the last stamp at or before each 20 ms step (stamps +0, +9, +18, +28 ... ms)
             source_rows=[0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 27, 29, 31, 33],
             settings=["FILETYPE 2"], stdout=[], stderr=[]),
        dict(name="geotec-s01_01_sw.csv", args=GEOTEC_UNITS, rows=36,
             first=[0.0390758, -0.3604747, 0.9290282, -0.6299998, -4.1299985, 5.179998],
             second_time="0.009000",
             settings=["FILETYPE 2"], stdout=["uneven", "--rate 50"], stderr=[]),
    ]

    def test_extracts(self):
        for case in self.CASES:
            with self.subTest(file=case["name"], args=case["args"]):
                out = self.path("out.csv")
                status, stdout, stderr = run(IMPORT, *case["args"], data(case["name"]),
                                             "-o", out)
                self.assertEqual(status, 0, stderr)
                header, rows = read_rows(out)
                self.assertEqual(header, HEADER)
                self.assertEqual(len(rows), case["rows"])
                for row in rows:
                    # kinrec takes a line as a sample when it begins with a digit or '-'
                    self.assertRegex(row[0], r"^-?[0-9]")
                    self.assertEqual(len(row), 8)
                self.assertEqual(rows[0][0], "0.000000")
                self.assertEqual(rows[1][0], case["second_time"])
                self.assertRowValues(rows[0], case["first"], 1e-6)
                if "source_rows" in case:
                    self.assertEqual([int(r[1]) for r in rows], case["source_rows"])
                self.assertEqual(cnf_settings(stdout), case["settings"])
                self.assertTrue(stdout.startswith("# %s: %d samples" % (out, case["rows"])))
                for text in case["stdout"]:
                    self.assertIn(text, stdout)
                for text in case["stderr"]:
                    self.assertIn(text, stderr)
                if not case["stderr"]:
                    self.assertNotIn("warning", stderr)


def recipes():
    """The importer's arguments in the data-set commands of docs/data.md, by data set:
    the fenced lines that start with tools/kinrec-import.py, continuation lines joined,
    the redirection of the printed settings left off."""
    with open(os.path.join(REPO, "docs", "data.md"), encoding="utf-8") as f:
        page = f.read()
    blocks = re.findall(r"^```\n(.*?)^```", page, re.S | re.M)
    commands = [c for b in blocks for c in re.sub(r"\\\n\s*", "", b).splitlines()
                if c.startswith("tools/kinrec-import.py ")]
    found = {}
    for name, folder in (("SisFall", "sisfall"), ("SmartFallMM", "smartfall"),
                         ("UMAFall", "umafall")):
        mine = [c for c in commands if "path/to/%s/" % folder in c]
        if len(mine) == 1:
            found[name] = mine[0][len("tools/kinrec-import.py "):].split(" > ")[0]
    return found


class LayoutTest(ImportTest):
    """The layouts of three fall data sets, each imported with the README's command as
    typed there (run where path/to/ holds the files): raw counts with the data set's
    own scale, two folders of files with different spans, one long file tagged by
    sensor. The rows expected are worked out by hand from the generated lines."""

    RECIPES = recipes()
    T0 = 1678886400000  # ms: 2023-03-15 13:20:00 UTC

    def make(self, name, text):
        path = self.path(name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        return write(path, text)

    def sisfall(self):
        # no header, 9 columns, ';' ending each line, a leading space; ADXL345 counts
        # (256 per g), ITG3200 counts (16.384 per deg/s, as the data set's readme gives
        # them), a second accelerometer
        lines = [" 1100,-256,-31,29,-58,115,3,-1020,-110;"]
        lines += [" 10,-256,-30,0,0,0,1,-1020,-110;"] * 39
        self.make("path/to/sisfall/SA01/D01_SA01_R01.txt", "\n".join(lines) + "\n")

    def smartfall_line(self, ms, start, values):
        """A line of the published files: epoch ms, ISO date-time, seconds from the
        file's first line, x, y, z."""
        when = datetime.datetime.fromtimestamp(ms / 1000, datetime.timezone.utc)
        return "%d,%s,%.3f,%s\n" % (ms, when.strftime("%Y-%m-%dT%H:%M:%S.%f")[:-3],
                                    (ms - start) / 1000, ",".join(map(repr, values)))

    def smartfall(self):
        # accelerometer (g) every 20 ms over 0..580 ms, gyroscope (deg/s) every 40 ms over
        # 100..540 ms; sample k = (0.1 k, 1, -0.2) g and (k, -2 k, Z) deg/s, Z = 180 in
        # the first pair, -90 in the second
        for name, z in (("S01A10T01.csv", 180), ("S01A10T02.csv", -90)):
            for folder, step, start, count, sample in (
                    ("accelerometer", 20, 0, 30, lambda k: (0.1 * k, 1, -0.2)),
                    ("gyroscope", 40, 100, 12, lambda k: (k, -2 * k, z))):
                first = self.T0 + start
                self.make("path/to/smartfall/%s/%s" % (folder, name), "".join(
                    self.smartfall_line(first + k * step, first, sample(k))
                    for k in range(count)))
        self.make("path/to/smartfall/accelerometer/S01A10T03.csv",  # no partner
                  self.smartfall_line(self.T0, self.T0, (0, 0, 1)))

    @staticmethod
    def smartfall_rows(z):
        # grid 100, 120, ... 540 ms: accelerometer samples 5, 6, 7 ...; gyroscope 0, 0,
        # 1, 1 ...: the 25 Hz gyroscope holds each value for two rows
        return [("%.6f" % (0.02 * n), 5 + n, [0.1 * (5 + n), 1, -0.2, n // 2, -2 * (n // 2), z])
                for n in range(23)]

    def umafall(self):
        # '%' comments, then rows "ms;sample;x;y;z;type;id": sensors 0 and 4, types
        # 0 (acc, g), 1 (gyro, deg/s), 2 (magnetometer); sensor 4's acc sample k =
        # (0.01 k, -1, 0.05) at 1000 + 20 k ms, its gyro sample (k, -2 k, 3) 5 ms later
        lines = ["% Trial of subject 1", "% TimeStamp; Sample No; X-Axis; Y-Axis; Z-Axis; "
                 "Sensor Type; Sensor ID;"]
        for k in range(25):
            for sensor in (0, 4):
                same = sensor == 0
                lines += ["%d;%d;%r;-1;0.05;0;%d" % (1000 + 20 * k, k, 9 if same else 0.01 * k,
                                                     sensor),
                          "%d;%d;%d;%d;3;1;%d" % (1005 + 20 * k, k, 9 if same else k, -2 * k,
                                                  sensor),
                          "%d;%d;30;20;10;2;%d" % (1007 + 20 * k, k, sensor)]
        self.make("path/to/umafall/trial.csv", "\n".join(lines) + "\n")

    CASES = [
        dict(name="SisFall", make=sisfall, rows=40,
             settings=["FILETYPE 2", "RESAMPLECOUNT 4", "SAMPLINGFREQUENCY 50"],
             expected={"run/sisfall/D01_SA01_R01.csv": [
                 ("0.000000", 0, [4.296875, -1, -0.12109375,
                                  29 / 16.384, -58 / 16.384, 115 / 16.384]),
                 ("0.005000", 1, [10 / 256, -1, -30 / 256, 0, 0, 0])]},
             stderr=["D01_SA01_R01.txt: 1 acceleration value(s) beyond +-4 g"]),
        # g and deg/s as written; the epoch milliseconds put both files on one clock
        dict(name="SmartFallMM", make=smartfall, rows=23, settings=["FILETYPE 2"],
             expected={"run/smartfall/S01A10T01.csv": smartfall_rows.__func__(180),
                       "run/smartfall/S01A10T02.csv": smartfall_rows.__func__(-90)},
             stderr=["path/to/smartfall/accelerometer/S01A10T01.csv, path/to/smartfall/"
                     "gyroscope/S01A10T01.csv: trimmed to the time span both sensors cover: "
                     "0.100 s lost at the start (accelerometer only), 0.040 s at the end "
                     "(accelerometer only)",
                     "gyroscope/S01A10T01.csv: about 25 Hz, slower than the 50 Hz grid: each "
                     "value is held", "gyroscope/S01A10T02.csv: about 25 Hz",
                     "accelerometer/S01A10T03.csv: no file of that name in "
                     "path/to/smartfall/gyroscope; left out"]),
        # grid 1005, 1025 ... 1465 ms; source rows: sensor 4's accelerometer row is the
        # 4th of each group of six
        dict(name="UMAFall", make=umafall, rows=24, settings=["FILETYPE 2"],
             expected={"run/umafall/trial.csv": [("0.000000", 3, [0, -1, 0.05, 0, 0, 3]),
                                                 ("0.020000", 9, [0.01, -1, 0.05, 1, -2, 3])]},
             stderr=["trial.csv: trimmed to the time span both sensors cover: 0.005 s lost at "
                     "the start (accelerometer only), 0.005 s at the end (gyroscope only)"]),
    ]

    def test_layouts(self):
        for case in self.CASES:
            with self.subTest(case["name"]):
                self.assertIn(case["name"], self.RECIPES, "no single command in docs/data.md")
                case["make"](self)
                os.makedirs(self.path(os.path.dirname(next(iter(case["expected"])))))
                status, stdout, stderr = run(IMPORT, *shlex.split(self.RECIPES[case["name"]]),
                                             cwd=self.tmp)
                self.assertEqual(status, 0, stderr)
                self.assertEqual(cnf_settings(stdout), case["settings"])
                for output, expected in case["expected"].items():
                    self.assertIn("# %s: %d samples" % (output, case["rows"]), stdout)
                    _, rows = read_rows(self.path(output))
                    self.assertEqual(len(rows), case["rows"])
                    for row, (time, source_row, values) in zip(rows, expected):
                        self.assertEqual(row[0], time)
                        self.assertEqual(int(row[1]), source_row)
                        self.assertRowValues(row, values, 1e-6)
                for text in case["stderr"]:
                    self.assertIn(text, stderr)
                for line in stderr.splitlines():  # every message names its file
                    self.assertRegex(line, r"^kinrec-import: (warning|note): path/to/")


class MergeTest(ImportTest):
    """Two files with their own ns time stamps onto a grid, holding the last value."""

    T0 = 1657533977810000000  # ns; exact only when read as an integer

    def setUp(self):
        super().setUp()
        g, deg = 9.80665, math.pi / 180
        # accelerometer at +0, +10, +25, +40 ms; sample k = (k+1, -(k+1), (k+1)/2) g
        acc = ["timestamp,x,y,z"] + [
            "%d,%r,%r,%r" % (self.T0 + ms * 1000000, k * g, -k * g, k / 2 * g)
            for k, ms in enumerate([0, 10, 25, 40], start=1)]
        # gyroscope at +5, +17, +35 ms, columns in z, y, x order;
        # sample j = (100 (j+1), -100 (j+1), 10 (j+1)) deg/s
        gyro = ["time,seconds_elapsed,z,y,x"] + [
            "%d,0,%r,%r,%r" % (self.T0 + ms * 1000000, 10 * j * deg, -100 * j * deg,
                               100 * j * deg)
            for j, ms in enumerate([5, 17, 35], start=1)]
        self.acc = write(self.path("acc.csv"), "\n".join(acc) + "\n")
        self.gyro = write(self.path("gyro.csv"), "\n".join(gyro) + "\n")

    CASES = [
        # grid +5, +15, +25, +35 ms: accelerometer samples 1, 2, 3 (at +25: a stamp on a
        # grid point counts), 3; gyroscope samples 1, 1, 2, 3
        (["--rate", "100"], [("0.000000", 0, 1, 1), ("0.010000", 1, 2, 1),
                             ("0.020000", 2, 3, 2), ("0.030000", 2, 3, 3)],
         ["FILETYPE 2", "RESAMPLECOUNT 2", "SAMPLINGFREQUENCY 50"]),
        ([], [("0.000000", 0, 1, 1), ("0.020000", 2, 3, 2)], ["FILETYPE 2"]),  # 50 Hz default
    ]

    def test_grid_holds_last_value(self):
        for extra, expected, settings in self.CASES:
            with self.subTest(args=extra):
                out = self.path("out.csv")
                status, stdout, stderr = run(
                    IMPORT, "--acc-file", self.acc, "--gyro-file", self.gyro,
                    "--time-unit", "ns", "--acc-unit", "m/s^2", "--gyro-unit", "rad/s",
                    *extra, "-o", out)
                self.assertEqual(status, 0, stderr)
                _, rows = read_rows(out)
                self.assertEqual(len(rows), len(expected))
                for row, (t, source_row, k, j) in zip(rows, expected):
                    self.assertEqual(row[0], t)
                    self.assertEqual(int(row[1]), source_row)
                    self.assertRowValues(row, [k, -k, k / 2, 100 * j, -100 * j, 10 * j], 1e-6)
                self.assertEqual(cnf_settings(stdout), settings)


    def test_pairs_one_folder_by_name(self):
        # MobiFall keeps both sensors' files in one folder: FOL_acc_1_1.txt, FOL_gyro_1_1.txt.
        folder = self.path("one")
        os.makedirs(folder)
        for name, source in (("a_acc_1.csv", self.acc), ("a_gyro_1.csv", self.gyro),
                             ("b_acc_2.csv", self.acc)):
            with open(source) as f:
                write(os.path.join(folder, name), f.read())
        out = self.path("out")
        os.makedirs(out)
        status, stdout, stderr = run(
            IMPORT, "--acc-file", folder, "--gyro-file", folder, "--pair", "_acc_,_gyro_",
            "--time-unit", "ns", "--acc-unit", "m/s^2", "--gyro-unit", "rad/s", "--out-dir", out)
        self.assertEqual(status, 0, stderr)
        self.assertEqual(stderr.splitlines()[0],
                         "kinrec-import: warning: %s: no b_gyro_2.csv in %s; left out"
                         % (os.path.join(folder, "b_acc_2.csv"), folder))
        self.assertEqual(os.listdir(out), ["a_acc_1.csv"])
        _, rows = read_rows(os.path.join(out, "a_acc_1.csv"))
        for row, (t, source_row, k, j) in zip(rows, self.CASES[1][1]):
            self.assertEqual(row[0], t)
            self.assertRowValues(row, [k, -k, k / 2, 100 * j, -100 * j, 10 * j], 1e-6)


class RateAdviceTest(ImportTest):
    """The printed kinrec.cnf lines for the rate of the time stamps."""

    CASES = [
        ("50 Hz", [0.02] * 49, ["FILETYPE 2"], None),
        ("100 Hz", [0.01] * 49, ["FILETYPE 2", "RESAMPLECOUNT 2", "SAMPLINGFREQUENCY 50"], None),
        ("200 Hz", [0.005] * 49, ["FILETYPE 2", "RESAMPLECOUNT 4", "SAMPLINGFREQUENCY 50"],
         None),
        ("75 Hz", [1 / 75] * 49, ["FILETYPE 2"], "75 Hz is not a whole multiple of 50 Hz"),
        ("uneven", [0.005, 0.015] * 25, ["FILETYPE 2"], "uneven"),
    ]

    def test_advice(self):
        for label, steps, settings, comment in self.CASES:
            with self.subTest(label):
                lines = ["Time (s),Accelerometer X (g),Accelerometer Y (g),Accelerometer Z (g),"
                         "Gyroscope X (deg/s),Gyroscope Y (deg/s),Gyroscope Z (deg/s)"]
                t = 0.0
                for step in [0.0] + steps:
                    t += step
                    lines.append("%.6f,0,0,1,0,0,0" % t)
                src = write(self.path("in.csv"), "\n".join(lines) + "\n")
                status, stdout, stderr = run(IMPORT, src, "-o", self.path("out.csv"))
                self.assertEqual(status, 0, stderr)
                self.assertEqual(cnf_settings(stdout), settings)
                if comment:
                    self.assertIn(comment, stdout)
                    self.assertIn("--rate 50", stdout)


class WrapWarningTest(ImportTest):
    """Values whose counts leave 16 bits are reported and still written unchanged."""

    CASES = [
        # (acc x g, gyro x deg/s, warned about acceleration, warned about rate)
        ("4", "0", True, False),        # 32768 counts
        ("-4", "0", False, False),      # -32768 counts still fits
        ("3.9998", "0", False, False),
        ("0", "500", False, True),      # 500 * 65.536 (as a float) > 32767
        ("0", "-500", False, False),    # truncates to -32768
    ]

    def test_wrap(self):
        for acc, gyro, acc_warned, gyro_warned in self.CASES:
            with self.subTest(acc=acc, gyro=gyro):
                src = write(self.path("in.csv"), "t (s),ax (g),ay (g),az (g),gx (dps),gy (dps),"
                            "gz (dps)\n0,%s,0,0,%s,0,0\n0.02,0,0,1,0,0,0\n" % (acc, gyro))
                out = self.path("out.csv")
                status, _, stderr = run(IMPORT, src, "-o", out)
                self.assertEqual(status, 0, stderr)
                self.assertEqual("beyond +-4 g" in stderr, acc_warned, stderr)
                self.assertEqual("beyond +-500 deg/s" in stderr, gyro_warned, stderr)
                _, rows = read_rows(out)
                self.assertEqual((float(rows[0][2]), float(rows[0][5])), (float(acc), float(gyro)))

    def test_overflow_choice_goes_to_kinrec_cnf(self):
        src = write(self.path("in.csv"), "t (s),ax (g),ay (g),az (g),gx (dps),gy (dps),"
                    "gz (dps)\n0,6.5,0,0,0,0,0\n0.02,0,0,1,0,0,0\n")
        for choice, line, said in (
                (None, None, "wrap around in kinrec (--overflow clip keeps them at the range's "
                             "ends)"),
                ("clip", "OVERFLOW clip", "are clipped at the range's ends in kinrec"),
                ("raise", "OVERFLOW raise", "make kinrec refuse the file")):
            with self.subTest(choice):
                extra = [] if choice is None else ["--overflow", choice]
                status, stdout, stderr = run(IMPORT, src, "-o", self.path("o.csv"), *extra)
                self.assertEqual(status, 0, stderr)
                self.assertEqual(cnf_settings(stdout),
                                 ["FILETYPE 2"] + ([] if line is None else [line]))
                self.assertIn(said, stderr)


class FormatTest(ImportTest):
    """Delimiters, decimal commas, headerless files and the mg unit."""

    CASES = [
        ("semicolons, decimal commas",
         "zeit;t;ax;ay;az;gx;gy;gz\nx;0,00;0,5;-0,25;1;10,5;0;0\nx;0,02;0;0;1;0;0;0\n",
         ["--time-col", "t", "--acc-unit", "g", "--gyro-unit", "deg/s", "--time-unit", "s"],
         [0.5, -0.25, 1, 10.5, 0, 0]),
        ("tab, no header, positions, mg",
         "0\t250\t-500\t1000\t1\t2\t3\n20\t0\t0\t1000\t0\t0\t0\n",
         ["--time-col", "1", "--acc-cols", "2,3,4", "--gyro-cols", "5,6,7",
          "--acc-unit", "mg", "--gyro-unit", "dps", "--time-unit", "ms"],
         [0.25, -0.5, 1, 1, 2, 3]),
        ("columns by name, accX style",
         "sampleTime_ms,accX,accY,accZ,gyrX,gyrY,gyrZ,temp\n0,1,2,3,4,5,6,20\n"
         "10,0,0,1,0,0,0,20\n",
         ["--acc-unit", "g", "--gyro-unit", "deg/s"],
         [1, 2, 3, 4, 5, 6]),
        ("last line cut short",
         "t (s),ax (g),ay (g),az (g),gx (dps),gy (dps),gz (dps)\n0,1,0,0,7,0,0\n"
         "0.02,0,0,1,0,0,0\n0.04,0,0,1,0\n",
         [], [1, 0, 0, 7, 0, 0]),
        ("no header, a date-time in the first row",
         "2023-03-15 14:20:00.000,0.25,0,1,0,0,0\n2023-03-15 14:20:00.020,0,0,1,0,0,0\n",
         ["--time-col", "1", "--acc-cols", "2,3,4", "--gyro-cols", "5,6,7", "--acc-unit", "g",
          "--gyro-unit", "deg/s"],
         [0.25, 0, 1, 0, 0, 0]),
        ("--no-header, a word where later rows have numbers",
         "fall,0,0.5,0,1,0,0,0\n0,0.02,0,0,1,0,0,0\n",
         ["--no-header", "--time-col", "2", "--acc-cols", "3,4,5", "--gyro-cols", "6,7,8",
          "--acc-unit", "g", "--gyro-unit", "deg/s", "--time-unit", "s"],
         [0.5, 0, 1, 0, 0, 0]),
        ("columns reordered and negated",
         "t (s),ax (g),ay (g),az (g),gx (dps),gy (dps),gz (dps)\n0,1,2,3,4,5,6\n"
         "0.02,0,0,1,0,0,0\n",
         ["--acc-cols=-4,3,2", "--gyro-cols=-7,6,5"], [-3, 2, 1, -6, 5, 4]),
        ("rows chosen by --where",
         "t (s),tag,ax (g),ay (g),az (g),gx (dps),gy (dps),gz (dps)\n0,walk,1,0,0,0,0,0\n"
         "0.01,sit,9,9,9,9,9,9\n0.02,walk,0,0,1,0,0,0\n",
         ["--where", "tag=walk"], [1, 0, 0, 0, 0, 0]),
    ]

    def test_formats(self):
        for label, text, args, first in self.CASES:
            with self.subTest(label):
                src = write(self.path("in.txt"), text)
                out = self.path("out.csv")
                status, _, stderr = run(IMPORT, *args, src, "-o", out)
                self.assertEqual(status, 0, stderr)
                _, rows = read_rows(out)
                self.assertEqual(len(rows), 2)
                self.assertRowValues(rows[0], first, 1e-9)


class ManyFilesTest(ImportTest):
    """Many inputs in one run: one output each in --out-dir, the settings printed once."""

    @staticmethod
    def recording(step, rows=20):
        return "t (s),ax (g),ay (g),az (g),gx (dps),gy (dps),gz (dps)\n" + "".join(
            "%.3f,0,0,1,0,0,0\n" % (k * step) for k in range(rows))

    def test_folders_and_lists(self):
        cases = [
            # (label, files to make, the inputs, exit status, outputs, stdout settings,
            # stderr with {out} for the output folder)
            ("a folder", {"in/a.csv": self.recording(0.02), "in/b.txt": self.recording(0.02),
                          "in/notes.md": "x", "in/a_DSV.csv": "x"},
             ["in"], 0, ["a.csv", "b.csv"], ["FILETYPE 2"], None),
            ("settings disagree", {"a.csv": self.recording(0.02),
                                   "b.csv": self.recording(0.01)},
             ["a.csv", "b.csv"], 1, ["a.csv", "b.csv"], [],
             "the files need different kinrec.cnf settings ({out}/a.csv: FILETYPE 2; "
             "{out}/b.csv: FILETYPE 2, RESAMPLECOUNT 2, SAMPLINGFREQUENCY 50)"),
            ("one input fails", {"a.csv": self.recording(0.01), "b.csv": ""},
             ["a.csv", "b.csv"], 1, ["a.csv"],
             ["FILETYPE 2", "RESAMPLECOUNT 2", "SAMPLINGFREQUENCY 50"],
             "b.csv is empty\nkinrec-import: error: 1 of 2 inputs not converted"),
            ("two outputs of one name", {"a.csv": self.recording(0.02),
                                         "a.txt": self.recording(0.02)},
             ["a.csv", "a.txt"], 2, [], [], "would both be written as {out}/a.csv"),
        ]
        for n, (label, files, inputs, status_wanted, outputs, settings, message) in \
                enumerate(cases):
            with self.subTest(label):
                root = self.path(str(n))
                out = os.path.join(root, "out")
                for name, text in files.items():
                    os.makedirs(os.path.dirname(os.path.join(root, name)), exist_ok=True)
                    write(os.path.join(root, name), text)
                status, stdout, stderr = run(IMPORT, *[os.path.join(root, i) for i in inputs],
                                             "--out-dir", out)
                self.assertEqual(status, status_wanted, stderr)
                written = sorted(os.listdir(out)) if os.path.isdir(out) else []
                self.assertEqual(written, outputs)
                self.assertEqual(cnf_settings(stdout), settings)
                for name in outputs:
                    self.assertIn("# %s: 20 samples" % os.path.join(out, name), stdout)
                if message:
                    self.assertIn(message.format(out=out), stderr)
                else:
                    self.assertEqual(stderr, "")

    def test_one_output_name_for_many(self):
        a = write(self.path("a.csv"), self.recording(0.02))
        status, stdout, stderr = run(IMPORT, a, a, "-o", self.path("o.csv"))
        self.assertEqual((status, stdout), (2, ""))
        self.assertIn("2 inputs: give --out-dir DIR rather than -o", stderr)


class BadInputTest(ImportTest):
    """Each bad input: a message on stderr, nothing on stdout, a non-zero status."""

    XIO_HEADER = ("Time (s),Gyroscope X (deg/s),Gyroscope Y (deg/s),Gyroscope Z (deg/s),"
                  "Accelerometer X (g),Accelerometer Y (g),Accelerometer Z (g)\n")

    def cases(self):
        pelvis = data("xio-imu-mocap-pelvis.csv")
        return [
            ("missing named column",
             [pelvis, "--acc-cols", "Accelerometer X (g),nope,Accelerometer Z (g)"], 1,
             "acceleration column 'nope' not found"),
            ("no gyroscope columns",
             [write(self.path("nogyro.csv"), "time (s),ax (g),ay (g),az (g)\n0,0,0,1\n")], 1,
             "no angular rate column for axis x"),
            ("position beyond the columns", [pelvis, "--gyro-cols", "2,3,9"], 1,
             "column 9 is beyond the 7 columns"),
            ("unknown unit option", [pelvis, "--acc-unit", "kg"], 2,
             "unknown acceleration unit 'kg'"),
            ("unknown unit in header",
             [write(self.path("furlong.csv"), self.XIO_HEADER.replace("X (g)", "X (furlong)")
                    + "0,0,0,0,0,0,1\n")], 1,
             "unknown acceleration unit 'furlong'"),
            ("unit not stated", [data("geotec-s01_01_sw.csv")], 1, "give --acc-unit"),
            ("empty file", [write(self.path("empty.csv"), "")], 1, "is empty"),
            ("header only", [write(self.path("header.csv"), self.XIO_HEADER)], 1,
             "has a header but no samples"),
            ("no numbers", [write(self.path("words.csv"), self.XIO_HEADER + "a,b,c,d,e,f,g\n")],
             1, "no samples in"),
            ("missing file", [self.path("absent.csv")], 1, "cannot read"),
            ("binary file", [write(self.path("bin.csv"), "QM DataSet\0\1\2")], 1,
             "not a text file"),
            ("output replaces input", [pelvis, "-o", pelvis], 1, "would replace an input"),
            ("one of two files", ["--acc-file", pelvis], 2, "go together"),
            ("counts without a scale", [pelvis, "--acc-unit", "counts"], 1,
             "acceleration counts of %s need --acc-scale (counts per g)" % pelvis),
            ("a scale for another unit", [pelvis, "--gyro-unit", "dps", "--gyro-scale", "16"],
             2, "--gyro-scale goes with --gyro-unit counts"),
            ("a scale for the header's unit", [pelvis, "--acc-scale", "256"], 1,
             "--acc-scale is for counts, but the acceleration unit of %s is g" % pelvis),
            ("no row matches", [pelvis, "--where", "1=99"], 1,
             "no rows of %s match 1=99" % pelvis),
            ("condition without '='", [pelvis, "--acc-where", "6"], 2,
             "'6' is not COLUMN=VALUE"),
            ("date-times against numbers",
             ["--acc-file", write(self.path("a.csv"), "2023-03-15 14:20:00,0,0,1\n"
                                  "2023-03-15 14:20:01,0,0,1\n"),
              "--gyro-file", write(self.path("g.csv"), "0,0,0,1\n1000,0,0,1\n"),
              "--time-col", "1", "--acc-cols", "2,3,4", "--gyro-cols", "2,3,4",
              "--time-unit", "ms", "--acc-unit", "g", "--gyro-unit", "dps"], 1,
             "one has date-time stamps, the other numbers"),
            ("a date-time where numbers are wanted",  # SmartFallMM's columns miscounted
             ["--acc-file", write(self.path("dated.csv"), "0,2023-03-15T13:20:00.000,0.000,0,0,1\n"
                                  "20,2023-03-15T13:20:00.020,0.020,0,0,1\n"),
              "--gyro-file", pelvis, "--time-col", "1", "--acc-cols", "2,3,4", "--acc-unit",
              "g", "--time-unit", "ms"], 1,
             "none of its 2 data rows has numbers in the columns used (first at line 1: "
             "column 2 holds '2023-03-15T13:20:00.000')"),
            ("a two-file layout for one input", [pelvis, "--layout", "smartfallmm"], 2,
             "--layout smartfallmm takes --acc-file and --gyro-file"),
            ("folders without common names",
             ["--acc-file", self.folder("A", "x.csv"), "--gyro-file", self.folder("G", "y.csv")],
             2, "have no file names in common"),
            ("one file for both sensors",
             ["--acc-file", pelvis, "--gyro-file", pelvis], 1,
             "is given as both the accelerometer's and the gyroscope's file"),
            ("one folder for both sensors, without --pair",
             ["--acc-file", self.folder("B", "x_acc_1.csv"), "--gyro-file", self.path("B")], 2,
             "is the folder of both sensors: give --pair ACC,GYRO"),
            ("--pair with files", ["--acc-file", pelvis, "--gyro-file", pelvis, "--pair",
                                   "_acc_,_gyro_"], 2, "--pair goes with folders"),
            ("--pair of one part", ["--acc-file", self.path("B"), "--gyro-file",
                                    self.path("B"), "--pair", "_acc_"], 2,
             "give two different parts of names"),
        ]

    def folder(self, name, file_name):
        os.makedirs(self.path(name))
        write(self.path(os.path.join(name, file_name)), "0,0,0,1\n")
        return self.path(name)

    def test_bad_input(self):
        for label, args, status_wanted, message in self.cases():
            with self.subTest(label):
                if "-o" not in args:
                    args = args + ["-o", self.path("out.csv")]
                status, stdout, stderr = run(IMPORT, *args)
                self.assertEqual(status, status_wanted, stderr)
                self.assertIn(message, stderr)
                self.assertEqual(stdout, "")
                self.assertFalse(os.path.exists(self.path("out.csv")))


if __name__ == "__main__":
    unittest.main()
