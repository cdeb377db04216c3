"""The diffusion-aggregation model in Python: the engine of dla-batch.

``World`` is one run, stepped from Python; ``sweep`` runs many, on threads or
on a Dask cluster, and returns the rows of ``dla-batch sweep`` as a pandas
DataFrame. Every value is checked by the rules dla-batch checks its options
by, so the same values are taken and refused; a refusal is a ValueError that
names the argument as it is called here. See docs/python.md.
"""

import operator
import os

from ._core import DEFAULTS, MEASURE_COLUMNS
from ._core import World as _CoreWorld
from ._core import check_sweep as _check_sweep
from ._core import sweep as _sweep
# The live view imports ipywidgets only when a view is made.
from ._live import explore
from ._version import __version__

__all__ = ["World", "sweep", "explore", "DEFAULTS", "MEASURE_COLUMNS"]


# --- Python values as the engine takes them ---------------------------------
# The engine checks every value's range and text (ValueError); a value of a
# type it has no reading for is a TypeError here.


def _whole(name, value):
    """An int (numpy's included, bool not)."""
    if isinstance(value, bool) or not hasattr(type(value), "__index__"):
        raise TypeError(f"{name}: expected an int, got {type(value).__name__}")
    return operator.index(value)


def _optional_whole(name, value):
    return None if value is None else _whole(name, value)


def _threshold_text(value):
    """A text as the window's threshold edit holds it, or an int as its text."""
    return value if isinstance(value, str) else str(_whole("threshold", value))


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
        return str(_whole(name, values))
    return ",".join(str(_whole(name, item)) for item in items)


def _shard_text(shard):
    """(index, count), or dla-batch's "I/N"."""
    if shard is None or isinstance(shard, str):
        return shard
    try:
        index, count = shard
    except (TypeError, ValueError):
        raise TypeError(f"shard: expected (index, count), got {shard!r}") from None
    return f"{_whole('shard', index)}/{_whole('shard', count)}"


# --- One run -------------------------------------------------------------------


class World:
    """One run of the model, made exactly as ``dla-batch`` makes it.

    The arguments default to ``dla.DEFAULTS``, the defaults of every front
    end. agents: 0 to 100,000,000. threshold: an int, or a text read as the
    window reads its threshold edit (leading blanks, one sign, decimal or
    $/x/0x hexadecimal); either way the low 16 bits count, so -1 means 65535.
    size: the drawing area (width, height) in pixels, or "WxH"; the lattice
    has round(width/3) x round(height/3) cells. seed: 0 to 2**32 - 1, or
    None to take one from the clock (``seed`` then tells it). threads: the
    threads one step is shared among, 1 to 256, or 0 for one per processor
    (as dla-batch --threads); the run is the same to the bit for any number,
    and a step is made on one thread anyway on a lattice under 2,097,152 cells
    or with fewer than 4,096 free agents, where sharing it does not pay, and
    elsewhere only while timing says sharing is faster on this machine.

    ``World(..., seed=s).run(k)`` makes the run of ``dla-batch --seed s
    --steps k`` with the same arguments: ``series`` is its standard output,
    ``picture()`` its --picture, ``measure()`` its --measure and ``sizes()``
    its --sizes. ``save(path)`` writes its --save-state, and
    ``World.load(path)`` carries on as its --load-state.

    One thread may step a world while others read it: stepping releases the
    interpreter's lock, and every read is a copy taken between two steps.
    ``copy.copy``, ``copy.deepcopy`` and ``pickle`` give whole copies that
    step on as this world would.
    """

    # The engine's world: every member hands on to it. (Held rather than
    # inherited, so that a World whose __init__ never ran has no engine to
    # call into.)
    __slots__ = ("_world",)

    def __init__(self, agents=DEFAULTS["agents"], threshold=DEFAULTS["threshold"],
                 size=DEFAULTS["size"], seed=None, threads=DEFAULTS["threads"]):
        self._world = _CoreWorld(_whole("agents", agents), _threshold_text(threshold),
                                 _size_text(size), _optional_whole("seed", seed),
                                 _whole("threads", threads))

    @classmethod
    def _holding(cls, core):
        world = cls.__new__(cls)
        world._world = core
        return world

    @classmethod
    def load(cls, path, threads=DEFAULTS["threads"]):
        """The world saved at path (by ``save``, dla-batch --save-state or the
        window's "Save world…"), carrying on exactly as the saved one would
        have, with its saved threshold: its step_count goes on from the saved
        step, and its ``series`` starts after it. A file that cannot be read,
        is not a whole, intact saved world or holds a world no run can have
        made is refused in the words of dla-batch --load-state (ValueError).
        threads: as for World()."""
        return cls._holding(_CoreWorld.load(os.fspath(path), _whole("threads", threads)))

    def save(self, path):
        """Saves the whole world as it is now, with its threshold as given,
        to path (replaced whole or not at all), in the format of dla-batch
        --save-state (docs/checkpoints.md). A path that cannot be written, or
        a write that fails, is a ValueError."""
        self._world.save(os.fspath(path))

    def step(self, n=1):
        """Makes n more steps (0 or more) and returns the free agents of the
        last step made (None before the first step). Steps after the run's
        end are made too, with no agent free."""
        return self._world.step(_whole("n", n))

    def run(self, max_steps=DEFAULTS["steps"]):
        """Makes at most max_steps more steps (0 to 2**31 - 1), stopping after
        the run's end (its first step without a free agent), as dla-batch
        --steps counts them, also for a loaded world. Returns ``ended``."""
        return self._world.run(_whole("max_steps", max_steps))

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

    @property
    def measures_series(self):
        """The aggregates' measures after every step of ``series`` (from step 1,
        or the step after the saved one for a loaded world), as dla-batch
        --measures-series writes them but in full precision: a pandas
        DataFrame with the columns step, aggregates, largest, mean_size,
        gyration, dimension and r2 (float64, NaN where the CSV is empty).
        Kept cell by cell as the world steps, so it costs next to nothing."""
        return self._world.measures_series

    def sizes(self):
        """How many aggregates there are of each size now: a pandas DataFrame
        with the columns of dla-batch --sizes (size, count)."""
        return self._world.sizes()

    @property
    def threshold(self):
        """The threshold in effect, 0 to 65535. Set it to an int or a text
        (read as the window reads its edit) to go on with another threshold
        from the next step, as the window does when its edit changes."""
        return self._world.threshold

    @threshold.setter
    def threshold(self, value):
        self._world.threshold = _threshold_text(value)

    step_count = property(lambda self: self._world.step_count, doc="Steps made.")
    ended = property(lambda self: self._world.ended,
                     doc="Whether a step without a free agent has been made.")
    free_agents = property(lambda self: self._world.free_agents,
                           doc="Agents free now (not stuck): dla-batch's free=F.")
    aggregated_cells = property(lambda self: self._world.aggregated_cells,
                                doc="Cells aggregated so far: dla-batch's aggregated=M.")
    seed = property(lambda self: self._world.seed,
                    doc="The seed that repeats this run (dla-batch --seed).")
    threads = property(lambda self: self._world.threads,
                       doc="The threads one step is shared among (threads=0 made it one per processor).")
    size = property(lambda self: self._world.size, doc="The drawing area (width, height).")
    series = property(
        lambda self: self._world.series,
        doc="Free agents of every step from step 1 (after the saved step for a loaded "
            "world) (int32), as dla-batch prints them: a copy.")
    shades = property(
        lambda self: self._world.shades,
        doc="Every cell's shade, 0 open or 255 aggregated, uint8 (rows, columns): a "
            "read-only copy of this moment.")
    states = property(
        lambda self: self._world.states,
        doc="Every cell's registration count, int32 (rows, columns): a read-only copy.")
    agents = property(
        lambda self: self._world.agents,
        doc="The agents in list order, int32 fields x, y (pixels), heading (the model's "
            "integer heading) and moving (1 free, 0 stuck): a read-only copy.")

    def new_setup(self, agents=None):
        """The window's "new Setup": every cell open, the series emptied,
        step 0, and agents new agents (default: as many as now; 0 to
        100,000,000), placed from the fixed seed (so the same setup comes
        again) or a new clock reading. The threshold and the size stay."""
        self._world.new_setup(len(self.agents) if agents is None else _whole("agents", agents))

    def _repr_png_(self):
        # The PNG file of picture(), as dla-batch --picture writes it.
        return self._world.frame()[4]

    def _repr_html_(self):
        import base64
        import html

        png = base64.b64encode(self._repr_png_()).decode("ascii")
        width, height = self.size
        return (
            f'<figure style="margin:0"><img src="data:image/png;base64,{png}" width="{width}" '
            f'height="{height}" alt="the lattice"/><figcaption><code>{html.escape(self._summary())}'
            f"</code></figcaption></figure>"
        )

    def _summary(self):
        return (f"seed {self.seed}, step {self.step_count}, free {self.free_agents}, "
                f"aggregated {self.aggregated_cells}" + (", ended" if self.ended else ""))

    def __copy__(self):
        return type(self)._holding(self._world.copy())

    def __deepcopy__(self, memo):
        return self.__copy__()

    def __getstate__(self):
        return self._world.pickle()

    def __setstate__(self, state):
        self._world = _CoreWorld.unpickle(state)

    def __repr__(self):
        width, height = self.size
        return (
            f"dla.World(agents={len(self.agents)}, threshold={self.threshold}, "
            f"size=({width}, {height}), seed={self.seed})  # step {self.step_count}, "
            f"free {self.free_agents}, aggregated {self.aggregated_cells}" + (", ended" if self.ended else "")
        )


# --- Many runs -------------------------------------------------------------------


def _frame(columns, base):
    import pandas

    frame = pandas.DataFrame(columns)
    frame.attrs["seed"] = base
    return frame


def _share_columns(arguments, shard):
    """One share of a sweep, on a Dask worker."""
    return _sweep(**dict(arguments, shard=shard))[1]


def sweep(
    agents=DEFAULTS["agents"],
    thresholds=int(DEFAULTS["threshold"]),
    runs=10,
    seed=None,
    steps=DEFAULTS["steps"],
    size=DEFAULTS["size"],
    jobs=None,
    shard=None,
    client=None,
    tasks=None,
    partial=None,
    resume=None,
):
    """Runs every combination of agents and thresholds ``runs`` times and
    returns the rows of ``dla-batch sweep`` with the same arguments as a
    pandas DataFrame: agents, threshold, seed, steps, ended (1 or 0),
    aggregated_cells, stuck_agents, aggregates, largest (int64), then the
    measures in full precision (float64, NaN where the CSV is empty), sorted
    by agents, threshold and seed. ``attrs["seed"]`` is the seed of each
    combination's first run.

    agents, thresholds: an int, an iterable of ints or a dla-batch list text
    ("1000..5000:1000"); sorted, repeats dropped. runs: 1 to 2**32. seed:
    run r of a combination has seed + r (mod 2**32); None: from the clock.
    steps: at most this many steps per run. size: as for World. jobs: runs
    at once (default: every usable core); the rows are the same for any.
    shard=(i, n) or "i/n": only share i of n (needs a seed), as --shard i/n.

    partial: a path where a sweep that does not finish (Ctrl-C, a failure)
    first writes the rows of its runs done, in order up to the first
    unfinished one, as dla-batch sweep --partial does; a sweep that finishes
    leaves it as it was. resume: the path of such a file (also one of
    dla-batch sweep) of this same sweep: only the runs after its rows are
    made, and the rows are the whole sweep's; seed=None takes its seed. A
    file of another sweep, or spoilt, is a ValueError before any run.

    client: a dask.distributed Client. The sweep is then split into
    ``tasks`` shares (default: four per worker thread, at most one per run)
    run on the cluster's workers, each with ``jobs`` threads (default 1), and
    the rows are put together in order: the same rows as without a client.
    Every worker must be able to import this module.
    """
    arguments = dict(
        agents=_list_text("agents", agents),
        thresholds=_list_text("thresholds", thresholds),
        runs=_whole("runs", runs),
        seed=_optional_whole("seed", seed),
        steps=_whole("steps", steps),
        size=_size_text(size),
        jobs=_optional_whole("jobs", jobs),
    )
    if client is None:
        if tasks is not None:
            raise TypeError("sweep: tasks only go with a client")
        base, columns = _sweep(**arguments, shard=_shard_text(shard),
                               partial=None if partial is None else os.fspath(partial),
                               resume=None if resume is None else os.fspath(resume))
        return _frame(columns, base)

    if partial is not None or resume is not None:
        raise TypeError("sweep: partial and resume do not go with a client")
    if shard is not None:
        raise TypeError("sweep: shard and client do not go together (the client makes the shares)")
    if not callable(getattr(client, "map", None)) or not callable(getattr(client, "nthreads", None)):
        raise TypeError(f"sweep: client: expected a dask.distributed Client, got {type(client).__name__}")
    # Every value checked, and the seed fixed, before anything is sent.
    base, total = _check_sweep(**arguments, shard=None)
    arguments["seed"] = base
    if jobs is None:
        arguments["jobs"] = 1
    if tasks is None:
        tasks = 4 * sum(client.nthreads().values())
    tasks = _whole("tasks", tasks)
    if tasks < 1:
        raise ValueError(f"tasks must be 1 or more, got {tasks}")
    count = min(tasks, total)
    futures = client.map(
        _share_columns, [arguments] * count, [f"{i}/{count}" for i in range(1, count + 1)], pure=False
    )
    import pandas

    frame = pandas.concat([pandas.DataFrame(c) for c in client.gather(futures)], ignore_index=True)
    # The shares' rows, concatenated and sorted, are the whole sweep's rows.
    frame = frame.sort_values(["agents", "threshold", "seed"], kind="stable", ignore_index=True)
    frame.attrs["seed"] = base
    return frame
