"""kinrec.Stream: chunks of any size give the rows of one features() call."""
import threading

import numpy as np
import pandas as pd
import pytest

import kinrec
from kinrec_testing import motion, motion_counts, write_counts_csv


def chunks(n, seed):
    """Random chunk edges: mostly single samples, now and then a few or a few hundred."""
    rng = np.random.default_rng(seed)
    at, edges = 0, []
    while at < n:
        pick = rng.integers(10)
        size = 1 if pick < 5 else int(rng.integers(1, 8)) if pick < 8 else int(rng.integers(300))
        edges.append((at, min(n, at + size)))
        at += size
    return edges


@pytest.mark.parametrize("resample_count", [0, 1, 2, 3, 4])
@pytest.mark.parametrize("units", ["counts", "physical"])
@pytest.mark.parametrize("with_run", [False, True])
def test_chunks_give_the_rows_of_one_call(resample_count, units, with_run):
    if units == "counts":
        acc, gyro = motion_counts(1200, 4)
        given = {}
    else:
        acc, gyro = motion(1200, 4)
        acc = acc * 2.0  # beyond +-4 g now and then: values wrap alike in both
        given = {"acc_unit": "g", "gyro_unit": "deg/s"}
    settings = dict(resample_count=resample_count, posture_diff=False, rate=50, **given)
    run_whole, run_stream = (kinrec.Run(9000), kinrec.Run(9000)) if with_run else (None, None)
    whole = kinrec.features(acc, gyro, run=run_whole, **settings)
    with kinrec.Stream(run=run_stream, **settings) as stream:
        parts = [stream.push(acc[a:b], gyro[a:b]) for a, b in chunks(len(acc), resample_count)]
    joined = pd.concat(parts)
    pd.testing.assert_frame_equal(joined, whole, check_index_type=False)
    if with_run:
        assert run_stream.bias_count == run_whole.bias_count


def test_structured_arrays_and_the_run_carried_on():
    acc, gyro = motion_counts(600, 9)
    run = kinrec.Run()
    first = kinrec.features(acc, gyro, run=run)
    stream = kinrec.Stream(run=run, as_frame=False)
    with pytest.raises(RuntimeError, match="held by an open kinrec.Stream"):
        kinrec.features(acc, gyro, run=run)
    rows = np.concatenate([stream.push(acc[:250], gyro[:250]), stream.push(acc[250:], gyro[250:])])
    stream.close()
    # A stream after a features() call on the same Run: two features() calls.
    reference_run = kinrec.Run()
    kinrec.features(acc, gyro, run=reference_run)
    second = kinrec.features(acc, gyro, run=reference_run, as_frame=False)
    assert rows.dtype == second.dtype
    assert np.array_equal(rows, second)
    assert run.bias_count == reference_run.bias_count == 1200
    assert len(first) == 600 and kinrec.features(acc, gyro, run=run).shape == (600, 19)
    with pytest.raises(RuntimeError, match="closed"):
        stream.push(acc[:1], gyro[:1])
    assert repr(stream) == "<kinrec.Stream, 600 samples, closed>"


def test_checks_as_features_does():
    with pytest.raises(ValueError, match="unknown setting 'resample'; did you mean 'resample_count'"):
        kinrec.Stream(resample=2)
    stream = kinrec.Stream(acc_unit="g", gyro_unit="deg/s")
    with pytest.raises(ValueError, match="acc and gyro differ in length"):
        stream.push(np.zeros((3, 3)), np.zeros((2, 3)))
    with pytest.raises(ValueError, match="gyro x at sample 1 is nan"):
        stream.push(np.zeros((2, 3)), np.array([[0, 0, 0], [np.nan, 0, 0]]))
    assert stream.samples == 0  # a refused chunk takes nothing


def test_close_on_another_thread_never_crashes():
    """close() while another thread is in push(): that push converts whole or raises
    RuntimeError, and the pushing thread sees the stream closed."""
    acc, gyro = motion_counts(5000, 2)
    acc, gyro = acc.astype(np.int16), gyro.astype(np.int16)
    for _ in range(300):
        stream = kinrec.Stream()
        errors = []

        def push():
            try:
                while True:
                    stream.push(acc, gyro)
            except RuntimeError as e:
                errors.append(str(e))

        pusher = threading.Thread(target=push)
        pusher.start()
        stream.close()
        pusher.join()
        assert errors == ["push() on a closed kinrec.Stream"]


def test_a_run_under_way_is_not_taken_by_a_new_stream(tmp_path):
    """A Stream given a Run that a read() is converting with waits for it; a read() given
    a Run a stream holds raises RuntimeError: the two take turns, and never do the
    read's rows and the stream's mix their counts."""
    acc, gyro = motion_counts(30000, 6)
    acc, gyro = acc.astype(np.int16), gyro.astype(np.int16)
    path = tmp_path / "a.csv"
    write_counts_csv(path, acc, gyro)
    alone = kinrec.read(path)
    read_after = kinrec.read(path, run=kinrec.Run(8000))
    after = kinrec.features(acc[:8000], gyro[:8000], run=kinrec.Run(kinrec.BIAS_COUNT_LIMIT))
    before = kinrec.features(acc[:8000], gyro[:8000])
    for _ in range(20):
        run = kinrec.Run()
        got = []

        def read():
            try:
                got.append(kinrec.read(path, run=run))
            except RuntimeError as e:
                got.append(e)

        reader = threading.Thread(target=read)
        reader.start()
        with kinrec.Stream(run=run) as stream:
            rows = pd.concat([stream.push(acc[:4096], gyro[:4096]),
                              stream.push(acc[4096:8000], gyro[4096:8000])])
        reader.join()
        if isinstance(got[0], RuntimeError):  # the stream first, the read refused
            assert "held by an open kinrec.Stream" in str(got[0])
            assert rows.equals(before)
        elif rows.equals(before):  # the stream first, the read after its close
            assert got[0].equals(read_after)
        else:  # the read first, the stream after it
            assert got[0].equals(alone)
            assert rows.equals(after)


def test_overflow_names_the_streams_sample():
    acc = np.zeros((10, 3), dtype=np.int32)
    acc[7, 2] = 40000
    zeros = np.zeros((10, 3), dtype=np.int16)
    stream = kinrec.Stream(overflow="raise")
    stream.push(zeros, zeros)
    with pytest.raises(ValueError, match=r"^1 sample has values beyond the 16-bit range \(the "
                                         r"first is sample 17, the largest value 40000 counts\)"):
        stream.push(acc, zeros)
    wrapping = kinrec.Stream()
    wrapping.push(zeros, zeros)
    with pytest.warns(kinrec.KinrecWarning, match=r"the first is sample 17, the largest value "
                                                   r"40000 counts"):
        wrapping.push(acc, zeros)
