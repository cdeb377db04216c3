"""The diffusion-aggregation model in Python: the engine of dla-batch.

``World`` is one run, stepped from Python; ``sweep`` runs many, on threads or
on a Dask cluster, and returns the rows of ``dla-batch sweep`` as a pandas
DataFrame. Every argument is handed to dla-batch's own option reading as the
text it would be on its command line, so every value is taken or refused
exactly as dla-batch takes or refuses it, and a refusal is a ValueError with
dla-batch's words. See docs/python.md.
"""

import io
import operator
import os

from ._core import MEASURE_COLUMNS
from ._core import World as _CoreWorld
from ._core import check_sweep as _check_sweep
from ._core import sweep_rows as _sweep_rows

__all__ = ["World", "sweep", "MEASURE_COLUMNS"]

# The rows' measures that may be absent (empty in the CSV): always floats,
# NaN where absent, even in a sweep where every value happens to be whole.
_OPTIONAL_MEASURES = tuple(
    name for name in MEASURE_COLUMNS.split(",") if name not in ("aggregates", "largest")
)


# --- Python values as dla-batch's option texts --------------------------------
# Every value dla-batch has a text for is refused by dla-batch's own option
# reading, in its words. The module's own refusals are those of a value of a
# type that has no such text (TypeError, here), of sweep's client arguments
# (below) and of a negative n in World.step (python/src/PyWorld.cpp).


def _whole(name, value):
    """An int (numpy's included, bool not) as its decimal text."""
    if isinstance(value, bool) or not hasattr(type(value), "__index__"):
        raise TypeError(f"{name}: expected an int, got {type(value).__name__}")
    return str(operator.index(value))


def _threshold_text(value):
    """A text as the window's threshold edit holds it, or an int as its text."""
    return value if isinstance(value, str) else _whole("threshold", value)


def _size_text(size):
    """(width, height) as dla-batch's WxH; a str is taken as it is."""
    if isinstance(size, str):
        return size
    try:
        width, height = size
    except (TypeError, ValueError):
        raise TypeError(f"size: expected (width, height), got {size!r}") from None
    return f"{_whole('size', width)}x{_whole('size', height)}"


def _list_text(name, values):
    """An int, an iterable of ints or a dla-batch list text ("3..8")."""
    if isinstance(values, str):
        return values
    if isinstance(values, range) and values.step > 0 and len(values) > 0:
        # Without listing a long range number by number.
        step = "" if values.step == 1 else f":{values.step}"
        return f"{values.start}..{values[-1]}{step}"
    try:
        items = list(values)
    except TypeError:
        return _whole(name, values)
    return ",".join(_whole(name, item) for item in items)


def _shard_text(shard):
    try:
        index, count = shard
    except (TypeError, ValueError):
        raise TypeError(f"shard: expected (index, count), got {shard!r}") from None
    return f"{_whole('shard', index)}/{_whole('shard', count)}"


# --- One run -------------------------------------------------------------------


class World:
    """One run of the model, made exactly as ``dla-batch`` makes it.

    World(agents=2000, threshold=6, size=(404, 404), seed=None)

    agents: 0 to 100,000,000. threshold: an int, or a text read as the
    window reads its threshold edit (leading blanks, one sign, decimal or
    $/x/0x hexadecimal); either way the low 16 bits count, so -1 means 65535.
    size: the drawing area (width, height) in pixels, or "WxH"; the lattice
    has round(width/3) x round(height/3) cells. seed: 0 to 2**32 - 1, or
    None to take one from the clock (``seed`` then tells it).

    ``World(..., seed=s).run(k)`` makes the run of ``dla-batch --seed s
    --steps k`` with the same arguments: ``series`` is its standard output,
    ``picture()`` its --picture, ``measure()`` its --measure and ``sizes()``
    its --sizes. ``save(path)`` writes its --save-state, and
    ``World.load(path)`` carries on as its --load-state.
    """

    # The engine's world: every member hands on to it. (Held rather than
    # inherited, so that a World whose __init__ never ran has no engine to
    # call into.)
    __slots__ = ("_world",)

    def __init__(self, agents=2000, threshold=6, size=(404, 404), seed=None):
        options = [
            f"--agents={_whole('agents', agents)}",
            f"--threshold={_threshold_text(threshold)}",
            f"--size={_size_text(size)}",
        ]
        if seed is not None:
            options.append(f"--seed={_whole('seed', seed)}")
        self._world = _CoreWorld(options)

    @classmethod
    def load(cls, path):
        """The world saved at path (by ``save``, dla-batch --save-state or the
        window's "Save world…"), carrying on exactly as the saved one would
        have, with its saved threshold: its step_count goes on from the saved
        step, and its ``series`` starts after it. A file that cannot be read,
        is not a whole, intact saved world or holds a world no run can have
        made is refused as dla-batch --load-state refuses it (ValueError)."""
        world = cls.__new__(cls)
        world._world = _CoreWorld.load(os.fspath(path))
        return world

    def save(self, path):
        """Saves the whole world as it is now, with its threshold as given,
        to path (replaced whole or not at all), in the format of dla-batch
        --save-state (docs/checkpoints.md). A path that cannot be written is
        refused with dla-batch's words (ValueError)."""
        self._world.save(os.fspath(path))

    def step(self, n=1):
        """Makes n more steps (0 or more) and returns the free agents of the
        last step made (None before the first step). Steps after the run's
        end are made too, with no agent free."""
        return self._world.step(n)

    def run(self, max_steps=1_000_000):
        """Steps until the run has ended (its first step without a free agent
        included) or ``step_count`` reaches max_steps (0 to 2**31 - 1, counted
        from the start, as dla-batch --steps). Returns ``ended``."""
        return self._world.run_to(_whole("max_steps", max_steps))

    def picture(self):
        """The picture as a new uint8 array (height, width, 3), RGB: the
        pixels that dla-batch --picture writes after the same steps."""
        return self._world.picture()

    def measure(self):
        """The aggregates' measures now, as dla-batch --measure gives them but
        in full precision: a dict of aggregates, largest (ints), mean_size,
        gyration, dimension, r2 (floats; None when absent, gyration None when
        the largest aggregate wraps round the torus) and wraps (bool)."""
        return self._world.measure()

    def sizes(self):
        """How many aggregates there are of each size now: a pandas DataFrame
        with the columns of dla-batch --sizes (size, count)."""
        return self._world.sizes()

    step_count = property(lambda self: self._world.step_count, doc="Steps made.")
    ended = property(lambda self: self._world.ended,
                     doc="Whether a step without a free agent has been made.")
    free_agents = property(lambda self: self._world.free_agents,
                           doc="Agents free now (not stuck): dla-batch's free=F.")
    aggregated_cells = property(lambda self: self._world.aggregated_cells,
                                doc="Cells aggregated so far: dla-batch's aggregated=M.")
    seed = property(lambda self: self._world.seed,
                    doc="The seed that repeats this run (dla-batch --seed).")
    threshold = property(lambda self: self._world.threshold,
                         doc="The threshold in effect, 0 to 65535.")
    size = property(lambda self: self._world.size, doc="The drawing area (width, height).")
    series = property(
        lambda self: self._world.series,
        doc="Free agents of every step from step 1 (after the saved step for a loaded "
            "world) (int32), as dla-batch prints them: a copy.")
    shades = property(
        lambda self: self._world.shades,
        doc="Every cell's shade, 0 open or 255 aggregated, uint8 (rows, columns): a "
            "read-only view that follows the steps (copy it to keep a moment).")
    states = property(
        lambda self: self._world.states,
        doc="Every cell's registration count, int32 (rows, columns): a read-only view.")
    agents = property(
        lambda self: self._world.agents,
        doc="The agents in list order, int32 fields x, y (pixels), heading (the model's "
            "integer heading) and moving (1 free, 0 stuck): a read-only view.")

    def __repr__(self):
        width, height = self.size
        return (
            f"dla.World(agents={len(self.agents)}, threshold={self.threshold}, "
            f"size=({width}, {height}), seed={self.seed})  # step {self.step_count}"
            + (", ended" if self.ended else "")
        )


# --- Many runs -------------------------------------------------------------------


def _rows_frame(text):
    import pandas

    return pandas.read_csv(io.StringIO(text), dtype={name: "float64" for name in _OPTIONAL_MEASURES})


def _share_rows(options, index, count):
    """One share of a sweep, on a Dask worker."""
    return _rows_frame(_sweep_rows(options + [f"--shard={index}/{count}"])[1])


def sweep(
    agents=2000,
    thresholds=6,
    runs=10,
    seed=None,
    steps=1_000_000,
    size=(404, 404),
    jobs=None,
    shard=None,
    client=None,
    tasks=None,
):
    """Runs every combination of agents and thresholds ``runs`` times and
    returns the rows of ``dla-batch sweep`` with the same arguments as a
    pandas DataFrame: agents, threshold, seed, steps, ended (1 or 0),
    aggregated_cells, stuck_agents, then the measures (with the CSV's six
    significant digits; NaN where the CSV is empty), sorted by agents,
    threshold and seed. ``attrs["seed"]`` is the seed of each combination's
    first run.

    agents, thresholds: an int, an iterable of ints or a dla-batch list text
    ("1000..5000:1000"); sorted, repeats dropped. runs: 1 to 2**32. seed:
    run r of a combination has seed + r (mod 2**32); None: from the clock.
    steps: at most this many steps per run. size: as for World. jobs: runs
    at once (default: every usable core); the rows are the same for any.
    shard=(i, n): only share i of n (needs a seed), as --shard i/n.

    client: a dask.distributed Client. The sweep is then split into
    ``tasks`` shares (default: four per worker thread, at most one per run)
    run on the cluster's workers, each with ``jobs`` threads (default 1), and
    the rows are put together in order: the same rows as without a client.
    Every worker must be able to import this module.
    """
    options = [
        f"--agents={_list_text('agents', agents)}",
        f"--threshold={_list_text('thresholds', thresholds)}",
        f"--runs={_whole('runs', runs)}",
        f"--steps={_whole('steps', steps)}",
        f"--size={_size_text(size)}",
    ]
    if seed is not None:
        options.append(f"--seed={_whole('seed', seed)}")
    if jobs is not None:
        options.append(f"--jobs={_whole('jobs', jobs)}")
    if client is None:
        if shard is not None:
            options.append(f"--shard={_shard_text(shard)}")
        if tasks is not None:
            raise TypeError("sweep: tasks only go with a client")
        base, text = _sweep_rows(options)
        frame = _rows_frame(text)
        frame.attrs["seed"] = base
        return frame

    if shard is not None:
        raise TypeError("sweep: shard and client do not go together (the client makes the shares)")
    # Every value checked, and the seed fixed, before anything is sent.
    base, total = _check_sweep(options)
    options = [o for o in options if not o.startswith("--seed=")] + [f"--seed={base}"]
    if jobs is None:
        options.append("--jobs=1")
    if tasks is None:
        tasks = 4 * sum(client.nthreads().values())
    tasks = int(_whole("tasks", tasks))
    if tasks < 1:
        raise ValueError(f"sweep: tasks must be 1 or more, got {tasks}")
    count = min(tasks, total)
    futures = client.map(
        _share_rows, [options] * count, range(1, count + 1), [count] * count, pure=False
    )
    import pandas

    frame = pandas.concat(client.gather(futures), ignore_index=True)
    # The shares' rows, concatenated and sorted, are the whole sweep's rows.
    frame = frame.sort_values(["agents", "threshold", "seed"], kind="stable", ignore_index=True)
    frame.attrs["seed"] = base
    return frame
