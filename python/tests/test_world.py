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
    done = dla_batch(
        "--agents", agents, f"--threshold={threshold}", "--size", f"{size[0]}x{size[1]}",
        "--seed", seed, "--steps", steps, "--picture", picture, "--measure", "--sizes", sizes,
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


def test_run_counts_steps_from_the_start_and_stops_at_the_end():
    world = dla.World(agents=500, size=(150, 120), seed=3)
    world.step(30)
    assert world.run(20) is False and world.step_count == 30
    assert world.run(50) is False and world.step_count == 50
    assert world.run() is True
    end = world.step_count
    assert world.run() is True and world.step_count == end
    # Past the end every step is made, with no agent free.
    assert world.step(2) == 0 and world.step_count == end + 2
    assert list(world.series[-3:]) == [0, 0, 0]


def test_clock_seed_is_told_and_repeats_the_run():
    first = dla.World(agents=200, size=(90, 90))
    first.run(300)
    again = dla.World(agents=200, size=(90, 90), seed=first.seed)
    again.run(300)
    assert 0 <= first.seed < 2**32
    assert np.array_equal(first.series, again.series)


def test_views_are_read_only_and_follow_the_steps():
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

    world.step()
    # Every cell holds the first step's registrations: one per agent.
    assert states.sum() == 400
    world.run(60)
    assert (shades == 255).sum() == world.aggregated_cells > 0
    assert (agents["moving"] == 1).sum() == world.free_agents < 400
    # The views taken before the steps show what a world read only now shows.
    fresh = dla.World(agents=400, threshold=4, size=(240, 90), seed=11)
    fresh.run(60)
    assert np.array_equal(agents, fresh.agents) and np.array_equal(states, fresh.states)


def test_views_keep_the_world_alive():
    agents = dla.World(agents=100, size=(60, 60), seed=1).agents
    shades = dla.World(agents=100, size=(60, 60), seed=1).shades
    import gc

    gc.collect()
    assert len(agents) == 100 and (agents["moving"] == 1).all()
    assert (shades == 0).all()


def test_picture_is_a_new_array_each_time():
    world = dla.World(agents=100, size=(61, 40), seed=1)
    first = world.picture()
    world.step(5)
    second = world.picture()
    assert first.shape == (40, 61, 3) and first.dtype == np.uint8 and first.flags.c_contiguous
    assert not np.array_equal(first, second)
    first[:] = 0
    assert np.array_equal(second, world.picture())
