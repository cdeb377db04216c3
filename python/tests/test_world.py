"""dla.World against dla-batch: the same runs, step for step and pixel for
pixel, and what the module adds (stepping a little at a time, the views)."""

import io
import math

import numpy as np
import pandas as pd
import pytest
from PIL import Image

import dla
from conftest import dla_batch

# (agents, threshold, size, seed, steps): dla-batch --agents --threshold
# --size --seed --steps.
RUNS = [
    # The default run to its end.
    (2000, 6, (404, 404), 12345, 1_000_000),
    # Right after placement: no step, the picture shows the dots only.
    (2000, 6, (404, 404), 5, 0),
    # Thresholds as the window's edit holds them; odd, uneven sizes.
    (300, " 4", (91, 61), 7, 400),
    (50, "x3", (31, 32), 4294967295, 500),
    # -1 is 65535: the one cell of a 3x3 area is its own neighbourhood nine
    # times, so 10,000 agents aggregate at step 2.
    (10000, -1, (3, 3), 1, 5),
    # No agent: the first step ends the run. Threshold 0: every agent stops
    # in step 1.
    (0, 6, (30, 30), 3, 10),
    (200, 0, (60, 60), 9, 10),
    # A dense small torus: the largest aggregate wraps round it.
    (300, 3, (30, 30), 2, 100),
]


def six_digits(value):
    """A measure as dla-batch writes it: whole numbers in full, others with
    six significant digits."""
    if value == math.trunc(value):
        return float(value)
    return float(f"{value:.6g}")


def parse_pairs(line):
    return dict(pair.split("=") for pair in line.split())


@pytest.mark.parametrize("agents,threshold,size,seed,steps", RUNS)
def test_run_matches_dla_batch(tmp_path, agents, threshold, size, seed, steps):
    picture = tmp_path / "end.png"
    sizes = tmp_path / "sizes.csv"
    series = tmp_path / "measures.csv"
    done = dla_batch(
        "--agents", agents, f"--threshold={threshold}", "--size", f"{size[0]}x{size[1]}",
        "--seed", seed, "--steps", steps, "--picture", picture, "--measure", "--sizes", sizes,
        "--measures-series", series,
    )
    world = dla.World(agents=agents, threshold=threshold, size=size, seed=seed)
    world.run(steps)

    expected = pd.read_csv(io.StringIO(done.stdout))
    assert np.array_equal(world.series, expected["free_agents"].to_numpy())
    assert world.series.dtype == np.int32
    end, measures = done.stderr.splitlines()
    assert parse_pairs(end) == {
        "seed": str(world.seed), "steps": str(world.step_count),
        "free": str(world.free_agents), "aggregated": str(world.aggregated_cells),
    }
    assert world.ended == (len(expected) > 0 and expected["free_agents"].iloc[-1] == 0)

    assert np.array_equal(world.picture(), np.asarray(Image.open(picture).convert("RGB")))

    ours = world.measure()
    for name, text in parse_pairs(measures).items():
        if text == "wraps":
            assert ours["wraps"] and ours[name] is None
        elif text == "none":
            assert ours[name] is None
        else:
            assert six_digits(ours[name]) == float(text), name
    assert type(ours["aggregates"]) is int and type(ours["largest"]) is int
    if seed == 2:
        assert ours["wraps"], "the wrapping case no longer wraps: pick another"
    ours, theirs = world.sizes(), pd.read_csv(sizes)
    assert list(ours.columns) == list(theirs.columns)
    assert np.array_equal(ours.to_numpy(), theirs.to_numpy())
    ours, theirs = world.measures_series, pd.read_csv(series)
    assert list(ours.columns) == list(theirs.columns) and len(ours) == world.step_count
    printed = ours.apply(lambda column: column.map(lambda v: v if math.isnan(v) else six_digits(v)))
    pd.testing.assert_frame_equal(printed, theirs.astype("float64"), check_dtype=False, check_exact=True,
                                  check_index_type=False)


def test_a_step_shared_among_threads_is_the_same_run():
    # A lattice and a population big enough that the steps are shared.
    runs = [dla.World(agents=6000, size=(4500, 4500), seed=11, threshold=1, threads=n) for n in (1, 2, 0)]
    assert [world.threads for world in runs[:2]] == [1, 2] and runs[2].threads >= 1
    for world in runs:
        world.run(40)
    assert runs[0].aggregated_cells > 0
    for world in runs[1:]:
        assert np.array_equal(world.series, runs[0].series)
        assert world.measure() == runs[0].measure()
        assert world.seed == runs[0].seed and world.aggregated_cells == runs[0].aggregated_cells


def test_stepping_in_pieces_is_the_run():
    whole = dla.World(agents=500, size=(150, 120), seed=3)
    assert whole.run() is True
    pieces = dla.World(agents=500, size=(150, 120), seed=3)
    assert pieces.step(0) is None and len(pieces.series) == 0
    assert pieces.step() == 500 and pieces.step(9) == pieces.series[-1]
    while not pieces.ended:
        last = pieces.step()
    assert last == 0
    assert np.array_equal(pieces.series, whole.series)
    assert pieces.step_count == whole.step_count and pieces.free_agents == 0
    assert np.array_equal(pieces.picture(), whole.picture())


def test_a_saved_world_loaded_again_carries_on_as_one_run(tmp_path):
    settings = dict(agents=500, threshold=" 4", size=(150, 120), seed=3)
    whole = dla.World(**settings)
    assert whole.run() is True
    at = whole.step_count // 2
    split = dla.World(**settings)
    split.step(at)
    path = tmp_path / "world.dla"
    split.save(path)
    split.step(5)
    loaded = dla.World.load(path)
    assert (loaded.step_count, loaded.threshold, loaded.seed, loaded.size) == (at, 4, 3, (150, 120))
    assert len(loaded.series) == 0
    assert loaded.run() is True
    assert np.array_equal(loaded.series, whole.series[at:])
    assert loaded.step_count == whole.step_count
    assert np.array_equal(loaded.picture(), whole.picture())
    # The same file for dla-batch, with the threshold as it was given.
    done = dla_batch("--load-state", path, "--threshold", " 4", "--steps", 3)
    assert done.stdout == "step,free_agents\n" + "".join(
        f"{step},{whole.series[step - 1]}\n" for step in range(at + 1, at + 4))


def test_run_counts_the_steps_it_makes_and_stops_at_the_end(tmp_path):
    world = dla.World(agents=500, size=(150, 120), seed=3)
    world.step(30)
    assert world.run(20) is False and world.step_count == 50
    assert world.run(0) is False and world.step_count == 50
    assert world.run() is True
    end = world.step_count
    assert world.run() is True and world.step_count == end
    # Past the end every step is made, with no agent free.
    assert world.step(2) == 0 and world.step_count == end + 2
    assert list(world.series[-3:]) == [0, 0, 0]
    # A loaded world counts as dla-batch --load-state --steps counts.
    path = tmp_path / "world.dla"
    saved = dla.World(agents=500, threshold=-1, size=(150, 120), seed=3)
    saved.step(30)
    saved.save(path)
    loaded = dla.World.load(path)
    assert loaded.run(100) is False and loaded.step_count == 130


def test_threshold_changes_between_steps_as_in_the_window(tmp_path):
    # From step 40 on, threshold 3: the run of a window whose edit changed
    # then, and of dla-batch carrying on with another --threshold.
    settings = dict(agents=400, threshold=65535, size=(90, 90), seed=5)
    world = dla.World(**settings)
    world.run(40)
    assert world.aggregated_cells == 0 and world.threshold == 65535
    path = tmp_path / "world.dla"
    world.save(path)
    world.threshold = "  3"
    assert world.threshold == 3
    world.run(60)
    done = dla_batch("--load-state", path, "--threshold", "  3", "--steps", 60)
    assert done.stdout == "step,free_agents\n" + "".join(
        f"{41 + i},{free}\n" for i, free in enumerate(world.series[40:]))
    assert world.aggregated_cells > 0
    with pytest.raises(ValueError, match="'x' is not a valid integer value"):
        world.threshold = "x"
    assert world.threshold == 3


def test_clock_seed_is_told_and_repeats_the_run():
    first = dla.World(agents=200, size=(90, 90))
    first.run(300)
    again = dla.World(agents=200, size=(90, 90), seed=first.seed)
    again.run(300)
    assert 0 <= first.seed < 2**32
    assert np.array_equal(first.series, again.series)


def test_views_are_read_only_copies_of_their_moment():
    # Not square, so that x and y have different ranges.
    world = dla.World(agents=400, threshold=4, size=(240, 90), seed=11)
    shades, states, agents = world.shades, world.states, world.agents
    assert shades.shape == states.shape == (30, 80)
    assert shades.dtype == np.uint8 and states.dtype == np.int32
    assert len(agents) == 400 and agents.dtype.names == ("x", "y", "heading", "moving")
    for view in (shades, states, agents):
        assert not view.flags.writeable
        with pytest.raises(ValueError):
            view[0] = view[0]
    # Placement: cell centres, headings 0 to 315 in steps of 45, all free.
    assert agents["x"].min() >= 1 and agents["x"].max() <= 240
    assert agents["y"].min() >= 1 and agents["y"].max() <= 90
    assert set(np.unique(agents["heading"])) <= set(range(0, 360, 45))
    assert (agents["moving"] == 1).all()
    assert states.sum() == 0

    world.step()
    # Every cell holds the first step's registrations: one per agent.
    assert world.states.sum() == 400 and states.sum() == 0
    world.run(59)
    assert (world.shades == 255).sum() == world.aggregated_cells > 0
    assert (world.agents["moving"] == 1).sum() == world.free_agents < 400
    assert (shades == 0).all() and (agents["moving"] == 1).all()
    fresh = dla.World(agents=400, threshold=4, size=(240, 90), seed=11)
    fresh.run(60)
    assert np.array_equal(world.agents, fresh.agents) and np.array_equal(world.states, fresh.states)


def test_views_outlive_the_world():
    agents = dla.World(agents=100, size=(60, 60), seed=1).agents
    shades = dla.World(agents=100, size=(60, 60), seed=1).shades
    import gc

    gc.collect()
    assert len(agents) == 100 and (agents["moving"] == 1).all()
    assert (shades == 0).all()


def test_copies_and_pickles_step_on_as_the_world_does():
    import copy
    import pickle

    world = dla.World(agents=300, threshold=" 8", size=(150, 120))
    world.run(25)
    assert world.step_count == 25
    copies = [copy.copy(world), copy.deepcopy(world), pickle.loads(pickle.dumps(world))]
    world.run(40)
    for other in copies:
        assert other.step_count == 25 and other.threshold == 8 and other.seed == world.seed
        other.run(40)
        assert np.array_equal(other.series, world.series)
        assert other.measures_series.equals(world.measures_series)
        assert np.array_equal(other.picture(), world.picture())


def test_one_thread_steps_while_others_read():
    import threading

    # Nothing aggregates: the run lasts its 3000 steps, a second or so of
    # stepping, while a read waits at most one stretch of it (20 ms).
    setup = dict(agents=80000, threshold=-1, size=(1000, 1000), seed=8)
    world = dla.World(**setup)
    reads = 0
    stepping = threading.Thread(target=lambda: world.run(3000))
    stepping.start()
    # The interpreter's lock is released while the world steps, so this
    # thread reads as it goes; every read is a whole copy of one moment.
    while stepping.is_alive():
        series = world.series
        assert (series == 80000).all()
        world.picture(), world.shades, world.states, world.agents, world.measure(), world.sizes()
        reads += 1
    stepping.join()
    assert reads > 1
    assert world.step_count == 3000
    whole = dla.World(**setup)
    whole.run(3000)
    assert np.array_equal(world.picture(), whole.picture())


def test_picture_is_a_new_array_each_time():
    world = dla.World(agents=100, size=(61, 40), seed=1)
    first = world.picture()
    world.step(5)
    second = world.picture()
    assert first.shape == (40, 61, 3) and first.dtype == np.uint8 and first.flags.c_contiguous
    assert not np.array_equal(first, second)
    first[:] = 0
    assert np.array_equal(second, world.picture())


def test_version_is_dla_batchs():
    # The package's version is the programs' (dla-batch --version prints
    # "dla-batch VERSION"): both come from the project's one version.
    assert dla_batch("--version").stdout == f"dla-batch {dla.__version__}\n"
