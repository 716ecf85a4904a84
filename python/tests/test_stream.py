"""kinrec.Stream: chunks of any size give the rows of one features() call."""
import numpy as np
import pandas as pd
import pytest

import kinrec
from kinrec_testing import motion, motion_counts


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
