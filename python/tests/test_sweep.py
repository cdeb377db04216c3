"""dla.sweep against dla-batch sweep: the same rows for the same arguments,
on threads (any number of them) and on a Dask cluster of worker processes."""

import io

import numpy as np
import pandas as pd
import pytest

import dla
from conftest import dla_batch

# (dla.sweep's arguments, the same on dla-batch sweep's command line).
SWEEPS = [
    # Unsorted lists with a repeat; a range; the seeds wrap past 2**32 - 1;
    # the last runs stop at --steps (ended 0).
    (
        dict(agents=[300, 100, 300], thresholds=range(2, 5), runs=3, seed=4294967294,
             steps=400, size=(120, 90)),
        ["--agents", "300,100,300", "--threshold", "2..4", "--runs", "3",
         "--seed", "4294967294", "--steps", "400", "--size", "120x90"],
    ),
    # dla-batch's list text; one share; no agents (absent measures).
    (
        dict(agents="0..300:150", thresholds=6, runs=4, seed=10, steps=200, size="90x90",
             shard=(2, 3)),
        ["--agents", "0..300:150", "--threshold", "6", "--runs", "4", "--seed", "10",
         "--steps", "200", "--size", "90x90", "--shard", "2/3"],
    ),
    # Dense: the largest aggregates wrap (gyration empty).
    (
        dict(agents=300, thresholds=[3], runs=2, seed=1, size=(30, 30)),
        ["--agents", "300", "--threshold", "3", "--runs", "2", "--seed", "1", "--size", "30x30"],
    ),
]


def rows_of(stdout):
    return pd.read_csv(io.StringIO(stdout))


def printed(frame):
    """The measures with the CSV's six significant digits."""
    return frame.apply(lambda column: column.map(lambda v: float(f"{v:.6g}"))
                       if column.dtype == np.float64 else column)


def assert_same_rows(frame, expected):
    """Equal columns and values at the CSV's printed digits (NaN where the
    CSV is empty)."""
    assert list(frame.columns) == list(expected.columns)
    pd.testing.assert_frame_equal(printed(frame), printed(expected), check_dtype=False, check_exact=True)
    assert (frame.dtypes.iloc[:9] == np.int64).all()
    assert (frame.dtypes.iloc[9:] == np.float64).all()


def test_measures_come_in_full_precision():
    frame = dla.sweep(**SWEEPS[0][0])
    values = frame[["mean_size", "gyration", "dimension", "r2"]].to_numpy().ravel()
    values = values[~np.isnan(values)]
    assert (values != printed(pd.DataFrame({"v": values}))["v"].to_numpy()).any()


@pytest.mark.parametrize("jobs", [1, 2, 5])
@pytest.mark.parametrize("kwargs,args", SWEEPS)
def test_rows_are_dla_batch_rows_for_any_jobs(kwargs, args, jobs):
    expected = rows_of(dla_batch("sweep", *args).stdout)
    frame = dla.sweep(**kwargs, jobs=jobs)
    assert_same_rows(frame, expected)
    assert frame.attrs["seed"] == kwargs["seed"]


def test_the_sweeps_reach_absent_and_wrapping_measures():
    optional = ["mean_size", "gyration", "dimension", "r2"]
    share = dla.sweep(**SWEEPS[1][0])
    assert share[share.agents == 0][optional].isna().all().all()
    assert share[share.agents > 0][optional].notna().all().all()
    dense = dla.sweep(**SWEEPS[2][0])
    assert dense.gyration.isna().all() and dense.mean_size.notna().all()


def test_clock_seed_is_told():
    frame = dla.sweep(agents=100, thresholds=3, runs=2, size=(60, 60))
    base = frame.attrs["seed"]
    assert list(frame.seed) == [base, (base + 1) % 2**32]
    again = dla.sweep(agents=100, thresholds=3, runs=2, size=(60, 60), seed=base)
    assert_same_rows(frame, again)


@pytest.fixture(scope="module")
def client():
    distributed = pytest.importorskip("distributed")
    with distributed.LocalCluster(
        n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None
    ) as cluster, distributed.Client(cluster) as client:
        yield client


@pytest.mark.parametrize("tasks", [None, 5])
def test_dask_cluster_gives_dla_batch_rows(client, tasks):
    kwargs, args = SWEEPS[0]
    expected = rows_of(dla_batch("sweep", *args).stdout)
    frame = dla.sweep(**kwargs, client=client, tasks=tasks)
    assert_same_rows(frame, expected)
    assert frame.attrs["seed"] == kwargs["seed"]


def test_dask_sweep_fixes_the_clock_seed_before_sending(client):
    frame = dla.sweep(agents=100, thresholds=[3, 4], runs=3, size=(60, 60), client=client)
    base = frame.attrs["seed"]
    expected = rows_of(dla_batch("sweep", "--agents", "100", "--threshold", "3,4", "--runs", "3",
                                 "--size", "60x60", "--seed", base).stdout)
    assert_same_rows(frame, expected)


def test_dask_sweep_refuses_before_sending(client):
    with pytest.raises(ValueError, match="runs must be a whole number"):
        dla.sweep(runs=0, client=client)
    with pytest.raises(TypeError):
        dla.sweep(runs=1, seed=1, shard=(1, 2), client=client)
    with pytest.raises(ValueError):
        dla.sweep(runs=1, seed=1, tasks=0, client=client)
    for keep in (dict(partial="p.csv"), dict(resume="p.csv")):
        with pytest.raises(TypeError, match="partial and resume do not go with a client"):
            dla.sweep(runs=1, seed=1, client=client, **keep)
