"""kinrec.dataset and kinrec.windows on files made in each data set's published layout:
the metadata columns, the 50 Hz grid, units, clipping, positions and window labels."""
import numpy as np
import pandas as pd
import pytest

import kinrec


def write(path, text):
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_text(text)


def sisfall_lines(n, impact=None):
    """n lines at 200 Hz: 1 g on z, a 6 g impact on x at line impact (16 g sensor)."""
    return "".join(" %d,0,256,0,0,0,0,0,-1024;\n" % (1536 if k == impact else 0)
                   for k in range(n))


@pytest.fixture
def sisfall(tmp_path):
    root = tmp_path / "SisFall"
    write(root / "SA01" / "F05_SA01_R01.txt", sisfall_lines(1000, impact=600))
    write(root / "SA01" / "D01_SA01_R01.txt", sisfall_lines(1000))
    write(root / "SE01" / "D01_SE01_R02.txt", sisfall_lines(800))
    write(root / "Readme.txt", "not a trial\n")
    return root


def test_dataset_gives_metadata_time_and_the_tables_columns(sisfall):
    frame = kinrec.dataset("sisfall", sisfall)
    names = kinrec.features(np.zeros((1, 3)), np.zeros((1, 3)), acc_unit="g",
                            gyro_unit="deg/s").columns.tolist()
    assert list(frame.columns) == ["file", "subject", "activity", "fall", "trial", "time"] + names
    by_file = frame.groupby("file", observed=True)
    assert by_file.size().to_dict() == {"SA01/D01_SA01_R01.txt": 250, "SA01/F05_SA01_R01.txt": 250,
                                        "SE01/D01_SE01_R02.txt": 200}
    first = by_file.first()
    assert first["subject"].tolist() == ["SA01", "SA01", "SE01"]  # SE01 is another person
    assert first["activity"].tolist() == ["D01", "F05", "D01"]
    assert first["fall"].tolist() == [False, True, False]
    assert first["trial"].tolist() == [1, 1, 2]
    one = frame[frame["file"] == "SA01/F05_SA01_R01.txt"]
    np.testing.assert_allclose(one["time"].to_numpy()[:3], [0.0, 0.02, 0.04])
    assert one["accZ"].iloc[0] == 8192  # 256 counts of the ADXL345: 1 g


def test_impacts_beyond_the_range_are_clipped_and_counted(sisfall):
    clipped = kinrec.dataset("sisfall", sisfall)
    wrapped = kinrec.dataset("sisfall", sisfall, overflow="wrap")
    at = (clipped["file"] == "SA01/F05_SA01_R01.txt") & np.isclose(clipped["time"], 3.0)
    assert clipped.loc[at, "accX"].tolist() == [32767]
    assert wrapped.loc[at, "accX"].tolist() != [32767]
    assert clipped.attrs["beyond_range"] == {"SA01/D01_SA01_R01.txt": 0,
                                             "SA01/F05_SA01_R01.txt": 1,
                                             "SE01/D01_SE01_R02.txt": 0}


def test_windows_label_the_impact_of_falls_only(sisfall):
    frame = kinrec.dataset("sisfall", sisfall)
    w = kinrec.windows(frame, seconds=2.0, step=1.0)
    fall = w[w["file"] == "SA01/F05_SA01_R01.txt"]
    # 5 s of rows (0 to 4.98 s): windows from 0, 1, 2 and 3 s; the impact at 3.0 s is in
    # [2, 4) and [3, 5), the windows that hold it
    assert fall["start"].tolist() == [0.0, 1.0, 2.0, 3.0]
    assert fall["fall"].tolist() == [False, False, True, True]
    assert not w.loc[w["file"] != "SA01/F05_SA01_R01.txt", "fall"].any()
    assert kinrec.windows(frame, label="trial").groupby("file", observed=True)["fall"].all() \
        .tolist() == [False, True, False]
    for stat in ("min", "max", "mean", "std"):
        assert "raw_acc_%s" % stat in w.columns
    assert fall["raw_acc_max"].iloc[2] > fall["raw_acc_max"].iloc[0]
    with pytest.raises(ValueError, match="onset"):
        kinrec.windows(frame, label="onset")


def umafall_text(header):
    lines = []
    if header:
        lines += ["%C4:BE:84:71:A5:02; 2; WAIST; SensorTag",
                  "%B0:B4:48:B8:77:03; 4; ANKLE; SensorTag"]
    lines.append("% TimeStamp; Sample No; X-Axis; Y-Axis; Z-Axis; Sensor Type; Sensor ID;")
    for k in range(60):
        for sensor in (2, 4):
            ms = 1000 + 50 * k
            lines += ["%d;%d;%g;0;1;0;%d" % (ms, k, sensor / 8, sensor),
                      "%d;%d;%d;0;0;1;%d" % (ms, k, sensor * 10, sensor)]
    return "\n".join(lines) + "\n"


@pytest.mark.parametrize("position,gyro_x", [(None, 20), ("ankle", 40), ("Waist", 20)])
def test_umafall_position_is_its_headers(tmp_path, position, gyro_x):
    write(tmp_path / "UMAFall_Subject_03_Fall_forwardFall_2_2017-04-14_23-38-23.csv",
          umafall_text(True))
    frame = kinrec.dataset("umafall", tmp_path, position=position)
    assert frame["position"].iloc[0] == (position or "waist").lower()
    assert frame["subject"].iloc[0] == "Subject_03"
    assert frame["fall"].iloc[0]
    assert frame["gyroX"].iloc[0] == kinrec.features(
        np.zeros((1, 3)), np.array([[gyro_x, 0.0, 0.0]]), acc_unit="g",
        gyro_unit="deg/s")["gyroX"].iloc[0]


def test_bad_names_are_refused(tmp_path):
    with pytest.raises(ValueError, match="unknown data set 'sisfal'; use sisfall,"):
        kinrec.dataset("sisfal", tmp_path)
    with pytest.raises(ValueError, match="umafall has no position 'knee'"):
        kinrec.dataset("umafall", tmp_path, position="knee")
    with pytest.raises(ValueError, match="no sisfall recordings under"):
        kinrec.dataset("sisfall", tmp_path)


def test_window_statistics_are_those_of_the_windows_rows():
    """Overlapping windows, the last ending with the table, against each window's rows."""
    rng = np.random.default_rng(7)
    parts = []
    for name, n, fall in (("a.txt", 260, True), ("b.txt", 175, False)):
        parts.append(pd.DataFrame({
            "file": name, "subject": "S1", "activity": "X", "fall": fall, "trial": 1,
            "time": np.arange(n) * 0.02, "raw_acc": rng.integers(0, 500, n),
            "yaw": rng.integers(-18000, 18000, n)}))
    frame = pd.concat(parts, ignore_index=True)
    w = kinrec.windows(frame, seconds=1.5, step=0.5)
    assert w.groupby("file")["start"].apply(list).to_dict() == {
        "a.txt": [0.0, 0.5, 1.0, 1.5, 2.0, 2.5, 3.0, 3.5],  # rows to 5.18 s
        "b.txt": [0.0, 0.5, 1.0, 1.5, 2.0]}  # to 3.48 s: the last window ends with the table
    for _, win in w.iterrows():
        rows = frame[(frame["file"] == win["file"]) & (frame["time"] >= win["start"] - 1e-9)
                     & (frame["time"] < win["end"] - 1e-9)]
        assert win["rows"] == len(rows) == 75
        for column in ("raw_acc", "yaw"):
            values = rows[column].to_numpy(dtype=np.float64)
            assert win[column + "_min"] == values.min()
            assert win[column + "_max"] == values.max()
            assert win[column + "_mean"] == pytest.approx(values.mean(), rel=1e-12)
            assert win[column + "_std"] == pytest.approx(values.std(), rel=1e-9)
