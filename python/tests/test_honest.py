"""No silently wrong numbers: a rate the attitude filter's step does not fit, values that
wrap on their way to 16-bit counts, a unit left out."""
import os
import warnings

import numpy as np
import pandas as pd
import pytest

import kinrec
from kinrec_testing import motion


def caught(call):
    with warnings.catch_warnings(record=True) as seen:
        warnings.simplefilter("always")
        result = call()
    return result, [str(w.message) for w in seen if issubclass(w.category, kinrec.KinrecWarning)]


ACC, GYRO = (a[:150] for a in motion(800, 2))  # before its impacts: within the range
G = {"acc_unit": "g", "gyro_unit": "deg/s"}


@pytest.mark.parametrize("rate,given,resample,warned", [
    (50, {}, 0, None),
    (200, {}, 4, None),                          # a whole multiple: every 4th sample
    (101, {}, 2, None),                          # within 3 % of one, as the importer takes it
    (100, {"resample_count": 2}, 2, None),
    (75, {}, 0, "rate=75 Hz is not a whole multiple of 50 Hz"),
    (100, {"resample_count": 0}, 0, "keeps 100 Hz, but kinrec's attitude filter steps 0.02 s"
                                    " per kept sample (50 Hz): its angles will be wrong; give "
                                    "resample_count=2"),
])
def test_a_rate_sets_the_resample_count_or_warns(rate, given, resample, warned):
    frame, said = caught(lambda: kinrec.features(ACC, GYRO, rate=rate, **G, **given))
    explicit = kinrec.features(ACC, GYRO, resample_count=resample,
                               sampling_frequency=50, **G)
    pd.testing.assert_frame_equal(frame.drop(columns="time"), explicit)
    assert (said == []) if warned is None else (len(said) == 1 and warned in said[0])
    # A Stream with the same rate keeps the same samples.
    stream = kinrec.Stream(rate=rate, **G, **given)
    rows, _ = caught(lambda: stream.push(ACC, GYRO))
    pd.testing.assert_frame_equal(rows, frame)


def test_values_beyond_the_range_wrap_with_a_word_clip_or_raise():
    acc = ACC.copy()
    acc[[5, 9], 2] = [6.45, -4.5]  # an impact: 52838 and -36864 counts
    wrapped, said = caught(lambda: kinrec.features(acc, GYRO, **G))
    assert said == ["2 samples have values beyond the 16-bit range, wrapped around (the first "
                    "is sample 5, the largest value 52838 counts; overflow='clip' keeps them at "
                    "the range's ends)"]
    assert wrapped["accZ"].iloc[[5, 9]].tolist() == [52838 - 65536, -36864 + 65536]
    clipped, said = caught(lambda: kinrec.features(acc, GYRO, overflow="clip", **G))
    assert said == ["2 samples have values beyond the 16-bit range, clipped at its ends (the "
                    "first is sample 5, the largest value 52838 counts)"]
    assert clipped["accZ"].iloc[[5, 9]].tolist() == [32767, -32768]
    others = [c for c in clipped.columns if c not in ("accZ",)]
    assert (clipped.drop(index=[5, 9])["accX"] == wrapped.drop(index=[5, 9])["accX"]).all()
    assert len(others) == 18
    with pytest.raises(ValueError, match="the first is sample 5, the largest value 52838"):
        kinrec.features(acc, GYRO, overflow="raise", **G)
    # Counts beyond 16 bits are said too, and values within the range say nothing.
    counts = np.zeros((3, 3), dtype=np.int64)
    counts[1, 0] = 1000 * 65.536  # 1000 deg/s in counts: 65536, reads as 0
    _, said = caught(lambda: kinrec.features(np.zeros((3, 3), np.int16), counts))
    assert len(said) == 1 and "the first is sample 1, the largest value 65536 counts" in said[0]
    _, said = caught(lambda: kinrec.features(ACC, GYRO, **G))
    assert said == []


def test_units_of_the_importer_and_none_left_out_for_floats():
    mg, said = caught(lambda: kinrec.features(ACC * 1000, GYRO, acc_unit="mg", gyro_unit="deg/s"))
    pd.testing.assert_frame_equal(mg, kinrec.features(ACC, GYRO, **G))
    with pytest.raises(ValueError, match="give acc_unit= and gyro_unit="):
        kinrec.features(ACC, GYRO)
    with pytest.raises(ValueError, match="give acc_unit= and gyro_unit="):
        kinrec.Stream().push(ACC, GYRO)
    counts = np.zeros((4, 3), dtype=np.int32)
    assert len(kinrec.features(counts, counts)) == 4  # integers are counts by default


def test_odd_paths_and_arguments(tmp_path):
    recording = "t,ax,ay,az,gx,gy,gz\n0,0,0,8192,0,0,0\n1,0,0,8192,0,0,0\n"
    with pytest.raises(ValueError, match="embedded null byte"):
        kinrec.convert(tmp_path / "a.csv", str(tmp_path / "b\0.csv"))
    # A name that is no UTF-8, as bytes or as os.fsdecode gives it.
    raw = bytes(tmp_path) + b"/caf\xe9.csv"
    with open(raw, "w") as f:
        f.write(recording)
    assert len(kinrec.read(raw)) == 2
    assert len(kinrec.read(os.fsdecode(raw))) == 2
    assert kinrec.convert(raw) == os.fsdecode(bytes(tmp_path) + b"/caf\xe9_DSV.csv")
    with pytest.raises(FileNotFoundError) as missing:
        kinrec.read(bytes(tmp_path) + b"/no\xff.csv")
    assert missing.value.filename == os.fsdecode(bytes(tmp_path) + b"/no\xff.csv")
    with pytest.raises(TypeError, match="a sequence of paths, not one path"):
        kinrec.read_many(str(tmp_path / "x.csv"))
    table = kinrec.read_table(kinrec.convert(raw, tmp_path / "t_DSV.csv"))
    assert table.index.name == "row"


def test_time_stamps_choose_the_resample_count_as_a_rate_does():
    stamps = np.arange(len(ACC)) * 0.005  # 200 Hz
    by_rate = kinrec.features(ACC, GYRO, rate=200, **G)
    by_time, said = caught(lambda: kinrec.features(ACC, GYRO, time=stamps, **G))
    assert said == []
    pd.testing.assert_frame_equal(by_time.drop(columns="time"), by_rate.drop(columns="time"))
    assert by_time["time"].tolist() == stamps[by_time.index].tolist()
    uneven = stamps.copy()
    uneven[::3] += 0.004
    _, said = caught(lambda: kinrec.features(ACC, GYRO, time=uneven, **G))
    assert len(said) == 1 and "the time stamps are uneven" in said[0]


def test_files_and_every_door_take_the_range_choice(tmp_path):
    """OVERFLOW is a setting: read() clips or refuses as the console's kinrec.cnf does, and
    a file that is not what filetype says is said."""
    path = tmp_path / "fall.csv"
    lines = ["time_s,source_row,acc_x_g,acc_y_g,acc_z_g,gyro_x_dps,gyro_y_dps,gyro_z_dps"]
    lines += [f"{i * 0.02:.2f},{i},0,0,{6.55 if i == 60 else 1.0},0,0,0" for i in range(120)]
    path.write_text("\n".join(lines) + "\n")
    clipped, said = caught(lambda: kinrec.read(path, 2, overflow="clip"))
    assert clipped["accZ"].iloc[60] == 32767 and said == [
        f"{path}: 1 sample has values beyond the 16-bit range, clipped at its ends (the first "
        "is sample 60, the largest value 53657 counts)"]
    wrapped, said = caught(lambda: kinrec.read(path, 2))
    assert wrapped["accZ"].iloc[60] == 53657 - 65536 and "OVERFLOW clip keeps them" in said[0]
    with pytest.raises(OSError, match="sample 60 has a value beyond the 16-bit range"):
        kinrec.read(path, 2, overflow="raise")
    with pytest.raises(ValueError, match="overflow must be one of 'wrap', 'clip', 'raise'"):
        kinrec.read(path, 2, overflow="saturate")
    _, said = caught(lambda: kinrec.read(path))  # read as counts
    assert said[0] == (f"{path}: the header names physical units, but FILETYPE 1 reads the "
                       "columns as raw counts (8192 per g): for values in g and deg/s set "
                       "FILETYPE 2")
