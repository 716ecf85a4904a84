"""Units, dtypes, the index and time column, the result's forms, and bad input."""
import inspect
import math
import os
import threading

import numpy as np
import pandas as pd
import pytest

import kinrec
from kinrec_testing import EXAMPLES, KEYS, SOURCE_DIR, motion_counts, write_recording

# One value in every axis of acc or gyro -> the counts the table's accX or gyroX shows.
UNITS = [
    ("acc", "counts", np.int64(40000), -25536),         # the low 16 bits
    ("acc", "counts", np.int64(2**40), -1),              # saturates at 32 bits first
    ("acc", "counts", np.int64(-(2**40)), 0),
    ("acc", "counts", np.uint16(65535), -1),
    ("acc", "counts", np.uint64(2**63), -1),
    ("acc", "counts", np.float64(-12.7), -12),          # truncated toward zero
    ("acc", "counts", np.float32(70000.9), 4464),
    ("acc", "counts", np.int8(-5), -5),
    ("acc", "g", 1.0, 8192),
    ("acc", "g", -0.5, -4096),
    ("acc", "g", 4.5, -28672),                           # beyond +4 g: wraps
    ("acc", "g", -4.5, 28672),
    ("acc", "m/s^2", 9.80665, 8192),
    ("acc", "m/s^2", -19.6133, -16384),
    ("acc", "m/s^2", 44.0, -28781),
    ("gyro", "counts", np.int32(-70000), -4464),
    ("gyro", "deg/s", 100.0, 6553),
    ("gyro", "deg/s", -100.0, -6553),
    ("gyro", "deg/s", 600.0, -26215),                    # beyond +500 deg/s: wraps
    ("gyro", "rad/s", 1.0, 3754),
    ("gyro", "rad/s", -math.pi, -11796),
    ("gyro", "rad/s", 10.0, -27987),
]


@pytest.mark.parametrize("which,unit,value,counts", UNITS)
def test_units_become_the_layouts_counts(which, unit, value, counts):
    one = np.full((2, 3), value, dtype=np.asarray(value).dtype)
    other = np.zeros((2, 3), dtype=np.int16)
    if which == "acc":
        frame = kinrec.features(one, other, acc_unit=unit)
    else:
        frame = kinrec.features(other, one, gyro_unit=unit)
    column = frame[which + "X"]
    assert column.tolist() == [counts, counts]
    assert (frame[[which + "Y", which + "Z"]].to_numpy() == counts).all()


# overflow="clip" saturates the unbounded value, whatever the unit: 262144 g is 2^31
# counts, which a 32-bit truncation would wrap to the bottom of the range.
CLIPPED = [
    ("acc", "g", 262144.0, 32767),
    ("acc", "g", -1e300, -32768),
    ("acc", "mg", 5000.0, 32767),
    ("acc", "m/s^2", -45.0, -32768),
    ("acc", "counts", np.int64(2**40), 32767),
    ("acc", "counts", np.int32(-40000), -32768),
    ("gyro", "deg/s", 1e12, 32767),
    ("gyro", "rad/s", -10.0, -32768),
    ("gyro", "counts", np.float64(70000.9), 32767),
]


@pytest.mark.parametrize("which,unit,value,counts", CLIPPED)
def test_clip_saturates_in_every_unit(which, unit, value, counts):
    one = np.full((2, 3), value, dtype=np.asarray(value).dtype)
    other = np.zeros((2, 3), dtype=np.int16)
    given = dict(acc_unit=unit) if which == "acc" else dict(gyro_unit=unit)
    pair = (one, other) if which == "acc" else (other, one)
    frame = kinrec.features(*pair, overflow="clip", **given)
    assert frame[which + "X"].tolist() == [counts, counts]


def test_channel_forms_and_dtypes_agree():
    acc, gyro = motion_counts(400, seed=5)
    acc16, gyro16 = acc.astype(np.int16), gyro.astype(np.int16)
    want = kinrec.features(acc16, gyro16)
    channels = kinrec.features([acc16[:, 0], acc16[:, 1], acc16[:, 2]],
                               tuple(gyro16.T.astype(np.float32)), gyro_unit="counts")
    pd.testing.assert_frame_equal(channels, want)
    frame = kinrec.features(pd.DataFrame(acc16, columns=list("xyz")), gyro16.astype(np.uint16))
    pd.testing.assert_frame_equal(frame, want)
    # The physical rule on values that are whole counts in g is the identity.
    physical = kinrec.features(acc16 / 8192, gyro16.astype(np.int64), acc_unit="g")
    pd.testing.assert_frame_equal(physical, want)


def test_index_time_and_structured_arrays():
    acc, gyro = motion_counts(100, seed=1)
    frame = kinrec.features(acc, gyro, resample_count=3, rate=25)
    assert frame.index.name == "sample"
    assert list(frame.index) == list(range(0, 100, 3))
    assert frame.columns[0] == "time"
    assert frame["time"].dtype == np.float64
    assert frame["time"].tolist() == [s / 25 for s in range(0, 100, 3)]
    stamps = 1000.0 + np.arange(100) * 0.01
    stamped = kinrec.features(acc, gyro, resample_count=3, time=stamps)
    assert stamped["time"].tolist() == stamps[::3].tolist()
    array = kinrec.features(acc, gyro, resample_count=3, rate=25, as_frame=False)
    assert array.dtype.names == ("sample", "time", *frame.columns[1:])
    assert array["sample"].tolist() == list(frame.index)
    for name in frame.columns:
        assert array[name].tolist() == frame[name].tolist()
    assert array.dtype["accX"] == np.int32 and array.itemsize == 8 + 8 + 4 * 19
    # Date-time stamps keep their type in the records.
    dt = np.datetime64("2026-01-01") + np.arange(100) * np.timedelta64(10, "ms")
    dated = kinrec.features(acc, gyro, resample_count=3, time=dt, as_frame=False)
    assert dated["time"].tolist() == dt[::3].tolist()
    assert dated["yaw_diff"].tolist() == frame["yaw_diff"].tolist()
    # Four bytes per value: the columns are one int32 block.
    assert frame.drop(columns="time").memory_usage(index=True, deep=True).sum() < 4 * 19 * 34 + 200


def test_read_table_names_and_dtypes(tmp_path):
    out = kinrec.convert(EXAMPLES / "counts" / "pelvis.csv", tmp_path / "t.csv",
                         rms_diff=False, fall_counter=False)
    table = kinrec.read_table(out)
    assert list(table.columns) == ["accX", "accY", "accZ", "gyroX", "gyroY", "gyroZ", "lpf_acc",
                                   "raw_acc", "lpf_omega", "raw_omega", "roll", "pitch", "yaw",
                                   "roll_diff", "pitch_diff", "yaw_diff"]
    assert (table.dtypes == np.int32).all() and len(table) == 400
    array = kinrec.read_table(out, as_frame=False)
    assert array.dtype.names == tuple(table.columns) and array["yaw"].tolist() == table["yaw"].tolist()


def test_run_counts_and_limits():
    acc, gyro = motion_counts(300, seed=2)
    run = kinrec.Run()
    first = kinrec.features(acc, gyro, run=run)
    assert run.bias_count == 300
    pd.testing.assert_frame_equal(first, kinrec.features(acc, gyro))
    second = kinrec.features(acc, gyro, run=run)
    assert run.bias_count == 600 and not second.equals(first)
    pd.testing.assert_frame_equal(second, kinrec.features(acc, gyro, run=kinrec.Run(300)))
    kinrec.features(acc, gyro, resample_count=2, run=run)
    assert run.bias_count == 750  # kept samples count
    assert kinrec.BIAS_COUNT_LIMIT == 10000
    assert repr(kinrec.Run(5)) == "kinrec.Run(bias_count=5)"
    assert kinrec.Run(kinrec.BIAS_COUNT_LIMIT).bias_count == 10000


def bad(**changes):
    args = {"acc": np.zeros((4, 3)), "gyro": np.zeros((4, 3)), "acc_unit": "counts",
            "gyro_unit": "counts"}
    args.update(changes)
    return lambda: kinrec.features(args.pop("acc"), args.pop("gyro"), **args)


NAN_AT_2 = np.zeros((4, 3))
NAN_AT_2[2, 1] = np.nan
NAN_AT_2[3, 0] = np.inf
INF_AT_1 = np.zeros((4, 3))
INF_AT_1[1, 2] = -np.inf

BAD = [
    (bad(acc=np.zeros((4, 2))), ValueError, r"acc must be an array of shape \(N, 3\) .*\(4, 2\)"),
    (bad(gyro=np.zeros(12)), ValueError, r"gyro must be an array of shape \(N, 3\)"),
    (bad(gyro=np.zeros((5, 3))), ValueError, "acc has 4 samples, gyro 5"),
    (bad(acc=[np.zeros(4), np.zeros(4), np.zeros(3)]), ValueError, "acc channels differ in length: x 4, y 4, z 3"),
    (bad(acc=np.full((4, 3), "1")), ValueError, "acc x holds <U1 values"),
    (bad(gyro=np.zeros((4, 3), dtype=object)), ValueError, "gyro x holds object values"),
    (bad(acc=np.zeros((4, 3), dtype=bool)), ValueError, "acc x holds bool values"),
    (bad(acc=NAN_AT_2), ValueError, "acc y at sample 2 is nan; values must be finite"),
    (bad(gyro=INF_AT_1, gyro_unit="deg/s"), ValueError, "gyro z at sample 1 is -inf"),
    (bad(acc_unit="gee"), ValueError, "acc_unit must be one of 'counts', 'g', 'mg', 'm/s\\^2', not 'gee'"),
    (bad(acc_unit=None), ValueError, "acc holds floating-point values: give acc_unit= and gyro_unit="),
    (bad(acc=np.full((4, 3), 40000), acc_unit=None, overflow="raise"), ValueError,
     r"4 samples have values beyond the 16-bit range \(the first is sample 0, the largest value 40000 counts\); nothing of this chunk was converted"),
    (bad(overflow="saturate"), ValueError, "overflow must be one of 'wrap', 'clip', 'raise', not 'saturate'"),
    (bad(gyro_unit="g"), ValueError, "gyro_unit must be one of 'counts', 'deg/s', 'rad/s', not 'g'"),
    (bad(cutoff_frequncy=3), ValueError, "unknown setting 'cutoff_frequncy'; did you mean 'cutoff_frequency'"),
    (bad(resample_count=2.5), TypeError, "resample_count must be an integer, not float"),
    (bad(sampling_frequency=2**31), ValueError, "sampling_frequency must fit 32 bits"),
    (bad(rate=0), ValueError, "rate must be a positive number of Hz, not 0"),
    (bad(rate=50, time=np.arange(4)), ValueError, "give rate or time, not both"),
    (bad(time=np.arange(3)), ValueError, r"one time stamp per input sample \(4\)"),
    (bad(run=0), TypeError, "run must be a kinrec.Run or None, not int"),
    (lambda: kinrec.Run(10001), ValueError, "bias_count must be 0 to 10000, not 10001"),
    (lambda: kinrec.Run(-1), ValueError, "bias_count must be 0 to 10000, not -1$"),
    (lambda: kinrec.Run(-(2**31)), ValueError, "bias_count must be 0 to 10000, not -2147483648$"),
    (lambda: kinrec.Run(2**31 - 1), ValueError, "bias_count must be 0 to 10000, not 2147483647$"),
    (lambda: kinrec.Run(2**40), ValueError, "bias_count must be 0 to 10000, not 1099511627776$"),
    (lambda: kinrec.Run(2**80), ValueError, "not 1208925819614629174706176$"),
    (lambda: kinrec.read(EXAMPLES / "counts" / "pelvis.csv", 5), ValueError, "FileType 5 is not one of 1 \\(counts\\), .* 4 \\(dataset\\)"),
    (lambda: kinrec.read("no/such.csv"), FileNotFoundError, r"No such file or directory: 'no/such.csv'"),
    (lambda: kinrec.read(EXAMPLES / "counts" / "pelvis.csv", 4), kinrec.FileRefusedError, "counts/pelvis.csv: not a dataset file$"),
    (lambda: kinrec.read_table(EXAMPLES / "counts" / "pelvis.csv"), kinrec.FileRefusedError, "pelvis.csv: is not a kinrec table$"),
    (lambda: kinrec.convert("no/such.csv"), FileNotFoundError, "No such file or directory: 'no/such.csv'"),
    (lambda: kinrec.features_many([(np.zeros((2, 3)), np.zeros((2, 3))), np.zeros((2, 3))]), ValueError, "recording 1: an \\(acc, gyro\\) pair or a dict"),
    (lambda: kinrec.features_many([{"acc": np.zeros((2, 3), int), "gyro": np.zeros((2, 2), int)}]), ValueError, r"recording 0: gyro must be an array of shape \(N, 3\)"),
    (lambda: kinrec.features_many([{"acc": np.zeros((2, 3)), "gyr": 0}]), ValueError, "recording 0: unknown key 'gyr'"),
]


@pytest.mark.parametrize("call,error,message", BAD)
def test_bad_input_raises(call, error, message):
    with pytest.raises(error, match=message) as caught:
        call()
    assert type(caught.value) is error or error is OSError


def test_files_kinrec_refuses(tmp_path):
    recording = tmp_path / "a.csv"
    acc, gyro = motion_counts(20, seed=1)
    write_recording(recording, 1, acc, gyro)
    table = kinrec.convert(recording)
    with pytest.raises(kinrec.FileRefusedError) as caught:
        kinrec.read(table)
    assert str(caught.value) == f"{table}: is a kinrec table, not a recording"
    assert caught.value.filename == table and caught.value.errno is None
    with pytest.raises(kinrec.FileRefusedError, match="is a kinrec table, not a recording; not converted"):
        kinrec.convert(table, tmp_path / "b.csv")
    other = tmp_path / "keep.txt"
    other.write_text("precious\n")
    with pytest.raises(kinrec.FileRefusedError) as caught:
        kinrec.convert(recording, other)
    assert str(caught.value) == f"{other}: exists and is not a kinrec table; not overwritten"
    assert other.read_text() == "precious\n"
    with pytest.raises(kinrec.FileRefusedError, match="is the input file itself; not overwritten"):
        kinrec.convert(recording, recording)
    with pytest.raises(FileNotFoundError) as caught:
        kinrec.convert(recording, tmp_path / "no" / "t.csv")
    assert caught.value.filename == str(tmp_path / "no" / "t.csv")
    assert sorted(os.listdir(tmp_path)) == ["a.csv", "a_DSV.csv", "keep.txt"]


def test_version_and_settings_come_from_one_place():
    assert kinrec.__version__ == (SOURCE_DIR / "VERSION").read_text().split()[0]
    table = {keyword: (key, words[default] if words else default)
             for keyword, key, _, default, _, words in kinrec._kinrec.SETTINGS}
    assert {k: table[k][0] for k in KEYS} == KEYS  # the console's keys, mapped independently
    assert table["fall_counter"][0] is None and table["posture"][0] is None
    for function in (kinrec.features, kinrec.read, kinrec.convert, kinrec.features_many,
                     kinrec.read_many):
        params = inspect.signature(function).parameters
        from_rate = "rate" in params  # then the resample count and filter rate follow it
        for keyword, (_, default) in table.items():
            if keyword in params:
                if from_rate and keyword in ("resample_count", "sampling_frequency"):
                    default = None
                assert params[keyword].default == default, (function.__name__, keyword)
        assert all(k in params for k in table if k != "filetype"), function.__name__


def test_files_are_opened_by_the_library_alone(tmp_path):
    """One opener for every door: a folder and a bad filetype give read() and convert()
    the same errors, and a FIFO is opened once (a writer waiting in open() gets the
    reader that reads its samples)."""
    recording = tmp_path / "a.csv"
    acc, gyro = motion_counts(300, seed=8)
    write_recording(recording, 1, acc, gyro)
    for door in (kinrec.read, kinrec.convert):
        with pytest.raises(IsADirectoryError):
            door(tmp_path)
        with pytest.raises(ValueError, match="FileType 7 is not one of 1"):
            door(recording, filetype=7)
    want = kinrec.read(recording)
    fifo = tmp_path / "f.csv"
    os.mkfifo(fifo)
    data = recording.read_bytes()
    for _ in range(20):
        def write():
            with open(fifo, "wb") as f:  # waits in open() for the reader
                f.write(data)
        writer = threading.Thread(target=write)
        writer.start()
        got = []
        reader = threading.Thread(target=lambda: got.append(kinrec.read(fifo)))
        reader.start()
        reader.join(20)
        if reader.is_alive():  # the writer went to another opening: free the reader
            with open(fifo, "wb"):
                pass
            reader.join()
        writer.join()
        assert len(got) == 1 and got[0].equals(want)


def test_a_file_claiming_exabytes_is_read_as_it_is(tmp_path):
    """Nothing is sized from a file's length: a sparse file of 5 EiB (on a tmpfs) is read
    sample by sample into a block that grows; cut back to its samples while it is read,
    it gives their table."""
    shm = "/dev/shm"
    if not os.path.isdir(shm) or os.statvfs(shm).f_bsize == 0:
        pytest.skip("no /dev/shm")
    acc, gyro = motion_counts(100, seed=9)
    plain = tmp_path / "a.csv"
    write_recording(plain, 1, acc, gyro)
    data = plain.read_bytes()
    path = os.path.join(shm, f"kinrec-test-{os.getpid()}.csv")
    try:
        with open(path, "wb") as f:
            f.write(data)
            try:
                f.truncate(5 * 2**60)
            except OSError:
                pytest.skip("no 5 EiB sparse file here")
        got = []
        reader = threading.Thread(target=lambda: got.append(kinrec.read(path)))
        reader.start()
        reader.join(0.05)
        os.truncate(path, len(data))
        reader.join()
        assert len(got) == 1 and got[0].equals(kinrec.read(plain))
    finally:
        os.unlink(path)
