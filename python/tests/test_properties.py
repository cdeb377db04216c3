"""Random worlds, stepped from Python in random pieces, against dla-batch
with the same arguments: the same series, step for step."""

import io

import numpy as np
import pandas as pd
from hypothesis import given, settings
from hypothesis import strategies as st

import dla
from conftest import dla_batch

# Thresholds as the window's edit may hold them: signs, blanks, the
# hexadecimal prefixes, values past 16 bits.
THRESHOLDS = st.one_of(
    st.integers(-3, 12),
    st.sampled_from([" 5", "+4", "-0", "$3", "x4", "0X07", "-1", "65542", "  2"]),
)


@settings(max_examples=25, deadline=None, database=None)
@given(
    agents=st.integers(0, 400),
    threshold=THRESHOLDS,
    size=st.tuples(st.integers(3, 150), st.integers(3, 150)),
    seed=st.integers(0, 2**32 - 1),
    steps=st.integers(0, 300),
    pieces=st.lists(st.integers(0, 120), max_size=4),
)
def test_series_is_dla_batch_series(agents, threshold, size, seed, steps, pieces):
    done = dla_batch("--agents", agents, f"--threshold={threshold}",
                     "--size", f"{size[0]}x{size[1]}", "--seed", seed, "--steps", steps)
    expected = pd.read_csv(io.StringIO(done.stdout))["free_agents"].to_numpy()

    world = dla.World(agents=agents, threshold=threshold, size=size, seed=seed)
    # Some steps a piece at a time (never past dla-batch's last step), then
    # the rest of the run.
    for piece in pieces:
        world.step(min(piece, len(expected) - world.step_count))
    world.run(steps - world.step_count)

    assert np.array_equal(world.series, expected)
    assert done.stderr == (f"seed={seed} steps={world.step_count} free={world.free_agents} "
                           f"aggregated={world.aggregated_cells}\n")
