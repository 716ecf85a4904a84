"""kinrec.load against tools/kinrec-import.py: the same samples and, through features(),
the integers kinrec writes for the imported file with the kinrec.cnf lines printed."""
import os
import shlex
import shutil
import subprocess
import sys
import warnings

import numpy as np
import pandas as pd
import pytest

import kinrec
from kinrec_testing import SOURCE_DIR, console, motion

IMPORT = SOURCE_DIR / "tools" / "kinrec-import.py"
DATA = SOURCE_DIR / "tools" / "tests" / "data"
T0 = 1678886400000  # [ms] 2023-03-15 13:20:00 UTC


def sisfall(folder):
    """Header-less counts at 200 Hz, ';' ending each line: ADXL345 (256 per g), ITG3200
    (16.384 per deg/s), a second accelerometer."""
    acc, gyro = motion(400, seed=3)
    a = np.trunc(acc * 256).astype(int)
    g = np.trunc(gyro * 16.384).astype(int)
    (folder / "D01_SA01_R01.txt").write_text("".join(
        " %s;\n" % ",".join(map(str, list(x) + list(y) + [0, 0, 256])) for x, y in zip(a, g)))
    return "D01_SA01_R01.txt"


def smartfall(folder):
    """Two folders of header-less "epoch ms,date-time,elapsed s,x,y,z" files in g and
    deg/s: the accelerometer every 31 or 32 ms, the gyroscope every 20 ms from 45 ms on."""
    acc, gyro = motion(150, seed=4)
    for name, stamps, values in (("accelerometer", np.cumsum([0] + [31, 32] * 40)[:80], acc),
                                 ("gyroscope", 45 + 20 * np.arange(120), gyro)):
        (folder / name).mkdir()
        (folder / name / "S01A10T01.csv").write_text("".join(
            "%d,2023-03-15T13:20:%06.3f,%.3f,%.6f,%.6f,%.6f\n" % (
                T0 + ms, ms / 1000, (ms - stamps[0]) / 1000, *v)
            for ms, v in zip(stamps, values)))
    return "S01A10T01.csv"


def umafall(folder):
    """'%' comments, then "ms;sample;x;y;z;type;id" rows of sensors 0 and 4, types 0 (acc,
    g), 1 (gyro, deg/s) and 2 (magnetometer)."""
    acc, gyro = motion(120, seed=5)
    lines = ["% TimeStamp; Sample No; X-Axis; Y-Axis; Z-Axis; Sensor Type; Sensor ID;"]
    for k in range(120):
        for sensor in (0, 4):
            ms = 1000 + 20 * k
            lines += ["%d;%d;%.6f;%.6f;%.6f;0;%d" % (ms, k, *(acc[k] * (sensor / 4)), sensor),
                      "%d;%d;%.4f;%.4f;%.4f;1;%d" % (ms + 7, k, *(gyro[k] * (sensor / 4)),
                                                     sensor),
                      "%d;%d;30;20;10;2;%d" % (ms + 9, k, sensor)]
    (folder / "trial.csv").write_text("\n".join(lines) + "\n")
    return "trial.csv"


GEOTEC = dict(acc_unit="m/s^2", gyro_unit="rad/s", time_unit="ms")
GEOTEC_ARGS = "--acc-unit m/s^2 --gyro-unit rad/s --time-unit ms"

# (label, files made in a folder or None for an extract, the command's arguments with
# {in} for the folder, load()'s arguments likewise)
CASES = [
    ("xio pelvis", None, "{in}/xio-imu-mocap-pelvis.csv",
     dict(path="{in}/xio-imu-mocap-pelvis.csv")),
    ("xio gait, 400 Hz", None, "{in}/xio-gait-tracking-short_walk.csv",
     dict(path="{in}/xio-gait-tracking-short_walk.csv")),
    ("GeoTec, uneven", None, GEOTEC_ARGS + " {in}/geotec-s01_01_sw.csv",
     dict(path="{in}/geotec-s01_01_sw.csv", **GEOTEC)),
    ("GeoTec on a grid", None, GEOTEC_ARGS + " --rate 50 {in}/geotec-s01_01_sw.csv",
     dict(path="{in}/geotec-s01_01_sw.csv", rate=50, **GEOTEC)),
    ("SisFall", sisfall, "--acc-cols 1,2,3 --gyro-cols 4,5,6 --acc-unit counts --acc-scale 256 "
     "--gyro-unit counts --gyro-scale 16.384 --source-rate 200 {in}/D01_SA01_R01.txt",
     dict(path="{in}/D01_SA01_R01.txt", layout="sisfall")),
    ("SmartFallMM", smartfall, "--layout smartfallmm --acc-file {in}/accelerometer/S01A10T01.csv "
     "--gyro-file {in}/gyroscope/S01A10T01.csv",
     dict(acc="{in}/accelerometer/S01A10T01.csv", gyro="{in}/gyroscope/S01A10T01.csv",
          layout="SmartFallMM")),
    ("UMAFall", umafall, "--time-col 1 --time-unit ms --acc-cols 3,4,5 --gyro-cols 3,4,5 "
     "--acc-unit g --gyro-unit deg/s --where 7=4 --acc-where 6=0 --gyro-where 6=1 "
     "{in}/trial.csv", dict(path="{in}/trial.csv", layout="umafall", where={7: 4})),
]


def import_file(args, output):
    """The importer's printed kinrec.cnf lines for one input written to output."""
    done = subprocess.run([sys.executable, str(IMPORT), *shlex.split(args), "-o", str(output)],
                          capture_output=True, text=True, timeout=120)
    assert done.returncode == 0, done.stderr
    return done.stdout


@pytest.mark.parametrize("label,make,args,keywords", CASES, ids=[c[0] for c in CASES])
def test_load_gives_the_imported_files_integers(tmp_path, exe, label, make, args, keywords):
    folder = DATA
    if make is not None:
        folder = tmp_path / "in"
        folder.mkdir()
        make(folder)
    cnf = import_file(args.format(**{"in": folder}), tmp_path / "x.csv")
    (tmp_path / "kinrec.cnf").write_text(cnf)
    console(tmp_path, "x.csv", "x_DSV.csv")
    expected = kinrec.read_table(tmp_path / "x_DSV.csv")

    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        recording = kinrec.load(**{k: v.format(**{"in": folder}) if isinstance(v, str) else v
                                   for k, v in keywords.items()})
        acc, gyro, rate = recording
        table = kinrec.features(acc, gyro, acc_unit="g", gyro_unit="deg/s", rate=rate)
    assert all(issubclass(w.category, kinrec.KinrecWarning) for w in caught)
    assert (rate is None) == ("uneven" in cnf)  # else features() would pick the resample count
    assert ("time" in table.columns) == (rate is not None)
    table = table.drop(columns="time", errors="ignore")
    assert list(table.columns) == list(expected.columns)
    np.testing.assert_array_equal(table.to_numpy(), expected.to_numpy())

    # the samples themselves: those of the CSV, value for value
    written = pd.read_csv(tmp_path / "x.csv")
    frame = recording.to_frame()
    assert list(frame.columns) == list(written.columns)
    assert frame.attrs["rate"] == rate
    np.testing.assert_array_equal(frame.iloc[:, 1:].to_numpy(), written.iloc[:, 1:].to_numpy())
    np.testing.assert_allclose(frame["time_s"], written["time_s"], rtol=0, atol=5e-7)


def test_notes_become_warnings(tmp_path):
    smartfall(tmp_path)
    with pytest.warns(kinrec.KinrecWarning) as caught:
        kinrec.load(acc=tmp_path / "accelerometer" / "S01A10T01.csv",
                    gyro=tmp_path / "gyroscope" / "S01A10T01.csv", layout="smartfallmm")
    # the gyroscope starts 45 ms later and ends at 2425 ms, the accelerometer at 2488 ms;
    # its 31 ms median step is 32.26 Hz, 1.55 grid steps
    acc = f"{tmp_path}/accelerometer/S01A10T01.csv"
    assert [str(w.message) for w in caught] == [
        f"{acc}, {tmp_path}/gyroscope/S01A10T01.csv: trimmed to the time span both sensors "
        "cover: 0.045 s lost at the start (accelerometer only), 0.063 s at the end "
        "(accelerometer only)",
        f"{acc}: about 32.26 Hz, slower than the 50 Hz grid: each value is held for about "
        "1.6 grid steps"]
    assert caught[0].filename == __file__  # pointing at the call


PELVIS = str(DATA / "xio-imu-mocap-pelvis.csv")
GEOTEC_FILE = str(DATA / "geotec-s01_01_sw.csv")
XIO_X = "Accelerometer X (g)"

BAD = [
    (dict(path=GEOTEC_FILE), kinrec.LoadError,
     r"acceleration unit of .*geotec-s01_01_sw.csv is not in its header; give acc_unit \("),
    (dict(path=PELVIS, acc_cols=(XIO_X, "nope", 3)), kinrec.LoadError,
     "acceleration column 'nope' not found"),
    (dict(path=PELVIS, acc_cols=(1, 2)), ValueError,
     r"acc_cols takes three columns \(x, y, z\), not 2"),
    (dict(path=PELVIS, time_col=0), ValueError, "time_col: column positions count from 1, not 0"),
    (dict(path=PELVIS, acc_unit="kg"), kinrec.LoadError, "unknown acceleration unit 'kg'; use g,"),
    (dict(path=PELVIS, acc_unit="g", acc_scale=256), kinrec.LoadError,
     "acc_scale goes with acc_unit='counts'"),
    (dict(path=PELVIS, layout="smartfallmm"), kinrec.LoadError,
     "the smartfallmm layout takes acc= and gyro="),
    (dict(path=PELVIS, layout="sisfal"), kinrec.LoadError, "unknown layout 'sisfal'; use sisfall,"),
    (dict(path=PELVIS, acc=PELVIS, gyro=PELVIS), TypeError, r"takes a path, or acc= and gyro="),
    (dict(acc=PELVIS), TypeError, r"takes a path, or acc= and gyro="),
    (dict(path=str(DATA / "absent.csv")), OSError, "cannot read .*absent.csv: No such file"),
]


@pytest.mark.parametrize("keywords,error,message", BAD)
def test_bad_input_raises(keywords, error, message):
    with pytest.raises(error, match=message) as caught:
        kinrec.load(**keywords)
    if error is OSError:
        assert isinstance(caught.value, kinrec.LoadError)


def test_column_forms_agree():
    """Positions as ints, a negative one negating its axis, match the command line's text."""
    with pytest.warns(kinrec.KinrecWarning, match="time stamps do not increase"):
        by_text = kinrec.load(PELVIS, acc_cols="-7,6,5", gyro_cols="2,3,-4",
                              where={1: "917438268"})
    with pytest.warns(kinrec.KinrecWarning, match="time stamps do not increase"):
        by_ints = kinrec.load(PELVIS, acc_cols=(-7, 6, 5), gyro_cols=[2, 3, -4],
                              where=[("1", 917438268)])
    assert by_ints.rate is None  # one sample has no rate
    plain = kinrec.load(PELVIS)
    assert len(by_ints.acc) == 1 and by_ints.source_row.tolist() == [1]
    for got in (by_text, by_ints):
        np.testing.assert_array_equal(got.acc, plain.acc[1:2, ::-1] * [-1, 1, 1])
        np.testing.assert_array_equal(got.gyro, plain.gyro[1:2] * [1, 1, -1])


def test_script_copy_uses_the_package(tmp_path):
    """A copy of the script away from the source tree imports the readers from the package
    on PYTHONPATH (the build tree's here) and writes the same file."""
    script = tmp_path / "kinrec-import.py"
    shutil.copy(IMPORT, script)
    outputs = []
    for program in (IMPORT, script):
        out = tmp_path / f"{len(outputs)}.csv"
        done = subprocess.run([sys.executable, str(program), PELVIS, "-o", str(out)],
                              capture_output=True, text=True, timeout=120, env=dict(os.environ))
        assert done.returncode == 0, done.stderr
        outputs.append(out.read_text())
    assert outputs[0] == outputs[1]


STAMP_OUT_OF_PLACE = "time,ax,ay,az,gx,gy,gz\n0,0,0,1,0,0,0\n0.02,0,0,1,0,0,0\n1e9,0,0,1,0,0,0\n"
LONG_FIELD = "time,ax,ay,az,gx,gy,gz\n0,0,0,1,0,0,0\n0.02," + "7" * 140000 + ",0,1,0,0,0\n"


@pytest.mark.parametrize("text,message", [
    (STAMP_OUT_OF_PLACE, r"in\.csv line 4: its time stamp is 1e\+09 s after the one before it, "
                         r"so a 50 Hz grid would hold 50000000001 samples for 3 read"),
    (LONG_FIELD, r"in\.csv line 3: field larger than field limit \(131072\); not a "
                 r"recording's line"),
])
def test_bad_lines_are_named_in_bounded_time(tmp_path, text, message):
    (tmp_path / "in.csv").write_text(text)
    with pytest.raises(kinrec.LoadError, match=message):
        kinrec.load(tmp_path / "in.csv", acc_cols=(2, 3, 4), gyro_cols=(5, 6, 7), time_col=1,
                    acc_unit="g", gyro_unit="deg/s", time_unit="s", rate=50)
