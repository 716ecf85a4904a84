"""The package's integers are the console tool's, for every input kind and setting."""
import errno
import os
import re
import shutil
import subprocess
import warnings

import numpy as np
import pandas as pd
import pytest
from pandas.testing import assert_frame_equal

import kinrec
from kinrec_testing import (EXAMPLES, SOURCE_DIR, console, console_table, motion, motion_counts,
                            write_config, write_physical_csv, write_recording)

HEADER = ("accX,accY,accZ,gyroX,gyroY,gyroZ,lpf_acc,raw_acc,lpf_omega,raw_omega,"
          "fall_counter,roll,pitch,yaw,acc_diff,omega_diff,roll_diff,pitch_diff,yaw_diff")

SETTINGS = [
    {},
    {"resample_count": 3},
    {"sampling_frequency": 100, "cutoff_frequency": 10},
    {"sampling_frequency": 0, "fall_start_threshold": 90},
    {"cutoff_frequency": -1},  # an unstable filter: -2147483648 in the table
    {"rms_diff": 0, "posture_diff": 0, "resample_count": 2},
]


def rows(frame):
    return frame.reset_index(drop=True)


@pytest.mark.parametrize("folder,filetype",
                         [("counts", 1), ("physical", 2), ("hundreds", 3), ("dataset", 4)])
def test_examples_read_as_console(exe, tmp_path, folder, filetype):
    recording = next((EXAMPLES / folder).glob("pelvis.*"))
    table = console_table(tmp_path, recording, filetype)
    assert ",".join(table.columns) == HEADER
    assert (table.dtypes == np.int32).all()
    frame = kinrec.read(recording, filetype)
    assert_frame_equal(rows(frame), table)
    assert list(frame.index) == list(range(len(table)))
    assert frame.index.name == "sample"


@pytest.mark.parametrize("filetype", [1, 2, 3, 4])
def test_generated_files_read_as_console(exe, tmp_path, filetype):
    acc, gyro = motion_counts(3000, seed=filetype)
    path = tmp_path / ("rec.bin" if filetype == 4 else "rec.csv")
    write_recording(path, filetype, acc, gyro)
    settings = {"resample_count": 2, "fall_start_threshold": 80}
    table = console_table(tmp_path, path, filetype, **settings)
    assert_frame_equal(rows(kinrec.read(path, filetype, **settings)), table)


@pytest.mark.parametrize("settings", SETTINGS, ids=lambda s: ",".join(f"{k}={v}" for k, v in s.items()) or "defaults")
def test_settings_as_console(exe, tmp_path, settings):
    acc, gyro = motion_counts(2500, seed=7)
    path = tmp_path / "rec.csv"
    write_recording(path, 1, acc, gyro)
    table = console_table(tmp_path, path, 1, **settings)
    from_file = kinrec.read(path, **settings)
    from_arrays = kinrec.features(acc, gyro, **settings)
    assert_frame_equal(rows(from_file), table)
    assert_frame_equal(from_arrays, from_file)
    step = max(settings.get("resample_count", 1), 1)
    assert list(from_arrays.index) == list(range(0, len(acc), step))


@pytest.mark.parametrize("switch,columns", [
    ("fall_counter", ["fall_counter"]),
    ("posture", ["roll", "pitch", "yaw"]),
    ("rms_diff", ["acc_diff", "omega_diff"]),
    ("posture_diff", ["roll_diff", "pitch_diff", "yaw_diff"]),
])
def test_column_switches_leave_out_their_columns(exe, tmp_path, switch, columns):
    acc, gyro = motion_counts(1500, seed=3)
    path = tmp_path / "rec.csv"
    write_recording(path, 1, acc, gyro)
    full = console_table(tmp_path, path)
    frame = kinrec.features(acc, gyro, **{switch: False})
    assert_frame_equal(rows(frame), full.drop(columns=columns))


def test_physical_arrays_as_the_physical_layout(exe, tmp_path):
    # Beyond +-4 g and +-500 deg/s, so the wrap is compared too.
    acc, gyro = motion(3000, seed=11)
    assert np.abs(acc).max() > 4.2 and np.abs(gyro).max() > 520
    path = tmp_path / "rec.csv"
    write_physical_csv(path, acc, gyro)
    table = console_table(tmp_path, path, 2)
    assert_frame_equal(rows(kinrec.features(acc, gyro, acc_unit="g", gyro_unit="deg/s")), table)
    # SI units: the console tool reads the values in g and deg/s they are made into.
    write_physical_csv(path, (acc * 9.80665) / 9.80665, (np.radians(gyro) * (180 / np.pi)))
    table = console_table(tmp_path, path, 2)
    frame = kinrec.features(acc * 9.80665, np.radians(gyro), acc_unit="m/s^2", gyro_unit="rad/s")
    assert_frame_equal(rows(frame), table)


def test_convert_writes_the_console_table(exe, tmp_path):
    recording = tmp_path / "walk.csv"
    shutil.copy(EXAMPLES / "counts" / "pelvis.csv", recording)
    write_config(tmp_path, 1, resample_count=2)
    console(tmp_path, recording, tmp_path / "console.csv")
    assert kinrec.convert(recording, resample_count=2) == str(tmp_path / "walk_DSV.csv")
    assert (tmp_path / "walk_DSV.csv").read_bytes() == (tmp_path / "console.csv").read_bytes()
    # A table may be replaced, by name.
    assert kinrec.convert(recording, tmp_path / "console.csv") == str(tmp_path / "console.csv")
    assert (tmp_path / "console.csv").read_bytes() != (tmp_path / "walk_DSV.csv").read_bytes()


BATCH = 4  # files of 4000 samples: the bias count passes its limit in the third


def batch(tmp_path):
    paths = []
    for i in range(BATCH):
        acc, gyro = motion_counts(4000, seed=20 + i)
        paths.append(tmp_path / f"rec{i}.csv")
        write_recording(paths[-1], 1, acc, gyro)
    write_config(tmp_path, 1)
    console(tmp_path, "-r")
    tables = [kinrec.read_table(p.with_name(p.stem + "_DSV.csv")).rename_axis(None) for p in paths]
    return paths, tables


def test_a_run_reproduces_a_console_batch(exe, tmp_path):
    paths, tables = batch(tmp_path)
    run = kinrec.Run()
    for i, path in enumerate(paths):
        assert_frame_equal(rows(kinrec.read(path, run=run)), tables[i])
        assert run.bias_count == min(4000 * (i + 1), kinrec.BIAS_COUNT_LIMIT)
    # Without a run every file starts afresh, which is what the batch's later files
    # do not get.
    assert_frame_equal(rows(kinrec.read(paths[0])), tables[0])
    assert not rows(kinrec.read(paths[1])).equals(tables[1])

    run = kinrec.Run()
    arrays = [motion_counts(4000, seed=20 + i) for i in range(BATCH)]
    for frame, table in zip(kinrec.features_many(arrays, run=run, workers=2), tables):
        assert_frame_equal(rows(frame), table)
    assert run.bias_count == kinrec.BIAS_COUNT_LIMIT
    run = kinrec.Run()
    for frame, table in zip(kinrec.read_many(paths, run=run, workers=2), tables):
        assert_frame_equal(rows(frame), table)


def test_walk_is_the_console_batch(exe, tmp_path, monkeypatch):
    """walk() gives the files in the order kinrec -r converts them (sorted() does not:
    a folder "a" walks before "a-b.csv"); with a Run they give kinrec -r's tables,
    without one those of kinrec --alone -r."""
    names = ["a-b.csv", "a/x.csv", "a/y/z.bin", "b.csv", "c.csv"]
    for i, name in enumerate(names):
        path = tmp_path / name
        path.parent.mkdir(parents=True, exist_ok=True)
        acc, gyro = motion_counts(3000, seed=40 + i)
        write_recording(path, 1, acc, gyro)
    (tmp_path / "a" / "t.csv").write_text(HEADER.replace(",f", ", f") + "\n1,2\n")  # a table
    write_config(tmp_path, 1)
    out = console(tmp_path, "-r")
    order = [line.split(" -> ")[0] for line in out.splitlines() if " -> " in line]
    monkeypatch.chdir(tmp_path)
    walked = list(kinrec.walk())
    assert walked == order
    assert walked == [os.path.join(".", *n.split("/")) for n in
                      ["a/x.csv", "a/y/z.bin", "a-b.csv", "b.csv", "c.csv"]]
    assert sorted(walked) != walked
    assert list(kinrec.walk(".", "*.csv", recursive=False)) == [os.path.join(".", "a-b.csv"),
                                                               os.path.join(".", "b.csv"),
                                                               os.path.join(".", "c.csv")]
    tables = {p: kinrec.read_table(p[:-4] + "_DSV.csv").rename_axis(None) for p in walked}
    for frame, path in zip(kinrec.read_many(walked, run=kinrec.Run(), workers=2), walked):
        assert_frame_equal(rows(frame), tables[path])
    console(tmp_path, "--alone", "-r")
    alone = kinrec.read_many(walked, workers=2)
    differ = 0
    for frame, path in zip(alone, walked):
        table = kinrec.read_table(path[:-4] + "_DSV.csv").rename_axis(None)
        assert_frame_equal(rows(frame), table)
        differ += not table.equals(tables[path])
    assert differ >= 3  # the later files of the carried batch got other tables


@pytest.mark.skipif(not hasattr(os, "mkfifo"), reason="no FIFOs here")
def test_walk_says_what_it_skips(tmp_path):
    os.mkfifo(tmp_path / "d.csv")  # never opened: it would wait for a writer
    (tmp_path / "r.csv").write_text("0,1,2,3,4,5,6\n")
    with pytest.warns(kinrec.KinrecWarning, match=r"d\.csv: is not a regular file; skipped"):
        found = list(kinrec.walk(tmp_path))
    assert found == [os.path.join(str(tmp_path), "r.csv")]
    assert list(kinrec.walk(os.fsencode(tmp_path), "r*")) == [os.path.join(os.fsencode(tmp_path), b"r.csv")]


def test_many_equal_one_by_one(tmp_path):
    arrays = [motion_counts(n, seed=n) for n in (50, 700, 0, 1200, 300)]
    items = [arrays[0], {"acc": arrays[1][0], "gyro": arrays[1][1], "time": np.arange(700) * 0.5},
             *arrays[2:]]
    many = kinrec.features_many(items, resample_count=2, workers=3)
    assert len(many) == len(arrays)
    for i, (frame, (acc, gyro)) in enumerate(zip(many, arrays)):
        one = kinrec.features(acc, gyro, resample_count=2,
                              time=np.arange(700) * 0.5 if i == 1 else None)
        assert_frame_equal(frame, one)
    paths = []
    for i, (acc, gyro) in enumerate(arrays):
        paths.append(tmp_path / f"r{i}.csv")
        write_recording(paths[-1], 1, acc, gyro)
    for frame, path in zip(kinrec.read_many(paths, workers=3), paths):
        assert_frame_equal(frame, kinrec.read(path))


# Recordings the console tool converts while it says something on standard error: read()
# says the same, word for word, as a KinrecWarning.
NOTE_CASES = [
    ("semicolons.csv", 1, "t;ax;ay;az;gx;gy;gz\n" + "0;1;2;8192;0;0;0\n" * 5),
    ("raw_sisfall.txt", 1, "".join(f"{i},{i},-250,10,-3,1,-1,-80,950,-40;\n" if i % 4 else
                                   f"  {i},{i},-250,10,-3,1,-1,-80,950,-40;\n"
                                   for i in range(1, 40))),
    ("empty.csv", 2, ""),
    ("short.csv", 2, "t,i,ax,ay,az,gx,gy,gz\n0,0,0,0,1\n1,1,0,0,1\n"),
    ("tabs.csv", 3, "0,0,0,82,0,0,0\n\tcomment\nx\n1,0,0,82,0,0\n2,0,0,82,0,0,0\n"),
    ("clean.csv", 1, "t,ax,ay,az,gx,gy,gz\n0,0,0,8192,0,0,0\n"),
]


@pytest.mark.parametrize("name,filetype,text", NOTE_CASES)
def test_read_warns_what_the_console_says(exe, tmp_path, name, filetype, text):
    (tmp_path / name).write_text(text)
    write_config(tmp_path, filetype)
    done = subprocess.run([exe, name, "t_DSV.csv"], cwd=tmp_path, capture_output=True,
                          text=True, timeout=60)
    assert done.returncode == 0
    said = [line[len("kinrec: "):] for line in done.stderr.splitlines()]
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        kinrec.read(tmp_path / name, filetype)
    warned = [str(w.message).replace(str(tmp_path / name), name) for w in caught
              if issubclass(w.category, kinrec.KinrecWarning)]
    assert warned == said
    assert (name == "clean.csv") == (said == [])


@pytest.mark.skipif(not os.path.exists("/dev/full"), reason="no /dev/full here")
def test_convert_to_a_full_device_names_the_table(tmp_path):
    # One skipped line before the failure: the failure is the table's, not the note.
    (tmp_path / "r.csv").write_text("t,ax,ay,az,gx,gy,gz\n0,0,0,8192,0,0,0\nx\n1,0,0,8192,0,0,0\n")
    with pytest.raises(OSError) as caught:
        kinrec.convert(tmp_path / "r.csv", "/dev/full")
    assert caught.value.errno == errno.ENOSPC
    assert caught.value.filename == "/dev/full"
    assert not isinstance(caught.value, kinrec.FileRefusedError)


def test_the_extension_uses_the_public_face_only():
    """Of the project's headers the extension's sources include kinrec.h and their own."""
    folder = SOURCE_DIR / "python" / "src" / "kinrec"
    own = sorted(p.name for p in folder.glob("*.h"))
    for path in sorted(folder.glob("*.cpp")):
        included = re.findall(r'^#include "([^"]+)"', path.read_text(), re.M)
        assert "kinrec.h" in included, path.name
        assert set(included) <= {"kinrec.h", *own}, path.name


def test_read_many_summary_has_the_consoles_rows(exe, tmp_path):
    """read_many(summary=True) gives the rows `kinrec --alone --summary` writes for the
    same files (but the table, which read() does not write), and the provenance."""
    acc, gyro = motion_counts(600, 4)
    rows = ["t,ax,ay,az,gx,gy,gz"] + [f"{i},{a[0]},{a[1]},{a[2]},{g[0]},{g[1]},{g[2]}"
                                      for i, (a, g) in enumerate(zip(acc, gyro))]
    rows[40] = "39,1,2"  # a line cut short
    rows[70] = rows[70].replace(",", ",40000,", 1)[:-2]  # a value beyond the range
    (tmp_path / "a.csv").write_text("\n".join(rows) + "\n")
    (tmp_path / "b.csv").write_text("\n".join(rows[:300]) + "\n")
    done = subprocess.run([exe, "--alone", "--summary", "s.csv", "-r"], cwd=tmp_path,
                          capture_output=True, text=True, timeout=60)
    assert done.returncode == 0, done.stderr
    console_rows = pd.read_csv(tmp_path / "s.csv", comment="#")
    heads = [line for line in (tmp_path / "s.csv").read_text().splitlines()
             if line.startswith("# ")]
    paths = [tmp_path / "a.csv", tmp_path / "b.csv"]
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        tables, summary = kinrec.read_many(paths, summary=True)
    assert list(summary.columns) == list(console_rows.columns)
    assert summary["input"].tolist() == [str(p) for p in paths]
    assert summary["table"].isna().all()
    assert summary["rows"].tolist() == [len(t) for t in tables]
    for column in ("status", "samples", "rows", "beyond_range", "first_beyond", "peak_beyond",
                   "skipped_lines"):
        assert summary[column].tolist() == console_rows[column].tolist(), column
    assert summary["notes"].tolist() == console_rows["notes"].fillna("").tolist()
    assert heads == ["# kinrec summary", f"# version {summary.attrs['version']}",
                     f"# settings {summary.attrs['settings']}"]
