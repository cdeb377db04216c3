"""Drives the module with arbitrary values, in a process of its own (see
test_never_crashes.py): every exception is allowed, a crash is not. Each
example is written to the trace file, flushed, before it is tried, so that
the last line names the one that took the process down.

    crash_drive.py TRACE_FILE EXAMPLES
"""

import os
import pickle
import sys
import tempfile

from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

import dla

TRACE = open(sys.argv[1], "w", encoding="utf-8")
EXAMPLES = int(sys.argv[2])
SETTINGS = settings(max_examples=EXAMPLES, deadline=None, database=None,
                    suppress_health_check=list(HealthCheck))
FOLDER = tempfile.mkdtemp(prefix="dla-crash-drive-")

# Anything a caller might pass: numbers of every size and sign, texts, bytes,
# None, floats, lists. Sizes stay small enough to build quickly.
ANY = st.one_of(st.none(), st.booleans(), st.integers(-2**70, 2**70), st.floats(),
                st.text(max_size=12), st.binary(max_size=12),
                st.lists(st.integers(-5, 70), max_size=4))
SMALL_SIZE = st.one_of(st.tuples(st.integers(-5, 80), st.integers(-5, 80)), ANY,
                       st.sampled_from(["30x30", "3X3", "0x9", "9x", "x", "60x60 "]))


def trace(*what):
    TRACE.write(repr(what) + "\n")
    TRACE.flush()


def attempt(call, *args, **kwargs):
    try:
        return call(*args, **kwargs)
    except Exception:  # pylint: disable=broad-except
        return None


def views(world):
    for name in ("picture", "measure", "sizes"):
        attempt(getattr(world, name))
    for name in ("shades", "states", "agents", "series", "measures_series", "threshold",
                 "step_count", "ended", "free_agents", "aggregated_cells", "seed", "size"):
        attempt(getattr, world, name)
    attempt(repr, world)


@SETTINGS
@given(agents=st.one_of(st.integers(-3, 300), ANY), threshold=ANY, size=SMALL_SIZE,
       seed=st.one_of(st.integers(0, 2**32 - 1), ANY),
       moves=st.lists(st.one_of(st.integers(-2, 8), ANY), max_size=4), new_threshold=ANY)
def worlds(agents, threshold, size, seed, moves, new_threshold):
    trace("world", agents, threshold, size, seed, moves, new_threshold)
    world = attempt(dla.World, agents=agents, threshold=threshold, size=size, seed=seed)
    if world is None:
        return
    views(world)
    for move in moves:
        attempt(world.step, move)
        views(world)
    attempt(setattr, world, "threshold", new_threshold)
    attempt(world.run, 3)
    views(world)
    path = os.path.join(FOLDER, "w.dla")
    attempt(world.save, path)
    again = attempt(dla.World.load, path)
    if again is not None:
        views(again)
        attempt(again.step, 2)


@SETTINGS
@given(data=st.binary(max_size=600), flips=st.lists(st.tuples(st.integers(0, 700), st.integers(0, 255)),
                                                    max_size=6), cut=st.integers(0, 700))
def loads(data, flips, cut):
    trace("load", data, flips, cut)
    path = os.path.join(FOLDER, "x.dla")
    # Arbitrary bytes, and a real file spoilt in a few places or cut short.
    saved = dla.World(agents=40, size=(24, 24), seed=cut)
    saved.step(cut % 5)
    saved.save(path)
    with open(path, "rb") as file:
        real = bytearray(file.read())
    for at, value in flips:
        if at < len(real):
            real[at] = value
    for candidate in (data, bytes(real), bytes(real[:cut])):
        with open(path, "wb") as file:
            file.write(candidate)
        world = attempt(dla.World.load, path)
        if world is not None:
            views(world)
            attempt(world.step, 3)
            views(world)
        # A pickled world carries the same bytes.
        world = attempt(pickle.loads, pickle.dumps(saved))
        state = attempt(saved.__getstate__)
        blank = attempt(dla.World.__new__, dla.World)
        if blank is not None:
            attempt(blank.__setstate__, candidate)
            attempt(blank.__setstate__, state)
            views(blank)
    attempt(dla.World.load, FOLDER)
    attempt(dla.World.load, os.path.join(FOLDER, "none"))


@SETTINGS
@given(agents=st.one_of(st.integers(-2, 120), st.text(max_size=10), ANY), thresholds=st.one_of(
    st.integers(-2, 70000), st.text(max_size=10), ANY), runs=st.one_of(st.integers(-1, 3), ANY),
       seed=st.one_of(st.integers(0, 2**32 - 1), ANY), steps=st.one_of(st.integers(-1, 15), ANY),
       size=SMALL_SIZE, jobs=st.one_of(st.none(), st.integers(-1, 3), ANY),
       shard=st.one_of(st.none(), st.text(max_size=6), st.tuples(st.integers(-1, 3), st.integers(-1, 3))),
       resume=st.one_of(st.none(), st.binary(max_size=200)))
def sweeps(agents, thresholds, runs, seed, steps, size, jobs, shard, resume):
    trace("sweep", agents, thresholds, runs, seed, steps, size, jobs, shard, resume)
    # At most a handful of short runs: anything larger is left out.
    if isinstance(runs, int) and runs > 3 or isinstance(steps, int) and steps > 15:
        return
    path = None
    if resume is not None:
        path = os.path.join(FOLDER, "partial.csv")
        with open(path, "wb") as file:
            file.write(resume)
    attempt(dla.sweep, agents=agents, thresholds=thresholds, runs=runs, seed=seed, steps=steps,
            size=size, jobs=jobs, shard=shard, resume=path)


if __name__ == "__main__":
    worlds()
    loads()
    sweeps()
    print("driven", EXAMPLES, "examples of each")
