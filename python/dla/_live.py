"""The live view of a run in a notebook (dla.explore): the window's controls
as ipywidgets, the run stepping on a thread of its own.

The world is stepped by the engine with the interpreter's lock released: at
"Fastest" the whole time, until a pause holds it, and at a pace in chunks
between which the view looks at its stop flag; a second thread draws
frames (the engine's picture as PNG, two charts as SVG) at most FRAME_RATE
times a second, and fewer when the kernel is busy, so drawing never holds
the run back. Every rule of the run stays in the engine: the view only
starts and stops the stepping, and hands the threshold text and the new
setups to the world.
"""

import html
import signal
import threading
import time

import numpy as np

from ._core import threshold_error

# The window's speeds, in its words: steps a second, None for "Fastest",
# whose steps follow each other as fast as the engine makes them. "Full" is
# the window's one step per 1 ms tick.
SPEEDS = {
    "Full": 1000,
    "100 steps per second": 100,
    "30 steps per second": 30,
    "10 steps per second": 10,
    "Fastest": None,
}
# The window's measures chart's choices: the column of MEASURE_COLUMNS and
# its title.
MEASURES = {
    "clusters": "aggregates",
    "largest cluster": "largest",
    "radius of gyration": "gyration",
    "dimension": "dimension",
}
# Frames a second at most; the charts at most CHART_RATE a second.
FRAME_RATE = 24
CHART_RATE = 5
# How long one chunk of paced steps lasts at most, when the world is slower
# than its pace: the longest a Pause or an interrupt waits for the stepping
# thread. At "Fastest" the engine's own stretches of about 20 ms bound it.
CHUNK_SECONDS = 0.025
# Buckets of the free-agents chart's outline: two points a bucket at most.
CHART_BUCKETS = 300
CHART_WIDTH, CHART_HEIGHT = 404, 160

_MEASURE_COLUMNS = ("aggregates", "largest", "mean_size", "gyration", "dimension", "r2")


def _svg_chart(title, steps, values, held=False):
    """A line chart as inline SVG: values against steps, axes fitted to
    them; held: each value holds level until the next step given."""
    width, height = CHART_WIDTH, CHART_HEIGHT
    left, right, top, bottom = 52, 8, 20, 22
    steps = np.asarray(steps, dtype=float)
    values = np.asarray(values, dtype=float)
    keep = ~np.isnan(values)
    parts = [
        f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height}" '
        f'viewBox="0 0 {width} {height}" font-family="sans-serif" font-size="10">',
        f'<rect width="{width}" height="{height}" fill="white"/>',
        f'<text x="{width / 2}" y="13" text-anchor="middle" font-size="11">{html.escape(title)}</text>',
    ]
    first, last = (steps[0], steps[-1]) if len(steps) else (0.0, 1.0)
    shown = values[keep]
    low, high = (float(shown.min()), float(shown.max())) if len(shown) else (0.0, 1.0)
    if high == low:
        low, high = low - 1, high + 1
    if last == first:
        last = first + 1
    plot_w, plot_h = width - left - right, height - top - bottom

    def x(step):
        return left + (step - first) / (last - first) * plot_w

    def y(value):
        return top + (high - value) / (high - low) * plot_h

    parts.append(f'<rect x="{left}" y="{top}" width="{plot_w}" height="{plot_h}" fill="none" stroke="#999"/>')
    for value, anchor in ((high, top + 4), (low, top + plot_h)):
        parts.append(f'<text x="{left - 4}" y="{anchor}" text-anchor="end">{value:.4g}</text>')
    for step, anchor in ((first, "start"), (last, "end")):
        parts.append(f'<text x="{x(step)}" y="{height - 8}" text-anchor="{anchor}">{int(step)}</text>')
    if len(shown):
        points = []
        previous = None
        for step, value, ok in zip(steps, values, keep):
            if not ok:
                previous = None
                continue
            if held and previous is not None:
                points.append(f"{x(step):.1f},{y(previous):.1f}")
            points.append(f"{x(step):.1f},{y(value):.1f}")
            previous = value
        parts.append(f'<polyline fill="none" stroke="#1f5fbf" stroke-width="1.2" points="{" ".join(points)}"/>')
    parts.append("</svg>")
    return "".join(parts)


def _held_outline(steps, values, buckets):
    """At most about 2 * buckets of the points, keeping each bucket's
    lowest and highest: what a chart a few hundred pixels wide can show,
    of a line through every point or of a level line between changes."""
    if len(steps) <= 2 * buckets:
        return steps, values
    edges = np.linspace(0, len(steps), buckets + 1).astype(int)
    keep = {0, len(steps) - 1}
    for start, end in zip(edges[:-1], edges[1:]):
        part = values[start:end]
        if end > start and not np.isnan(part).all():
            keep.add(start + int(np.nanargmin(part)))
            keep.add(start + int(np.nanargmax(part)))
    index = np.array(sorted(keep))
    return steps[index], values[index]


class _Interrupts:
    """Stops every playing view on an interrupt of the kernel, whether a
    cell is running then or not. An idle kernel ignores SIGINT, and every
    cell runs with Python's default handler, so the view's handler is put in
    both places; it raises KeyboardInterrupt where the default one would."""

    views = set()
    installed = False

    @classmethod
    def watch(cls, view):
        cls.views.add(view)
        if cls.installed or threading.current_thread() is not threading.main_thread():
            return
        try:
            from IPython import get_ipython
        except ImportError:
            return
        shell = get_ipython()
        kernel = getattr(shell, "kernel", None)
        if kernel is None or not hasattr(kernel, "saved_sigint_handler"):
            return
        signal.signal(signal.SIGINT, cls.handle)
        # What the kernel puts back after each cell: this handler, not its
        # "ignore".
        kernel.saved_sigint_handler = cls.handle
        shell.events.register("pre_run_cell", cls.during_cell)
        cls.installed = True

    @classmethod
    def during_cell(cls, *_):
        signal.signal(signal.SIGINT, cls.handle)

    @classmethod
    def handle(cls, signum, frame):
        for view in list(cls.views):
            view._halt()
        # Inside a cell, as Python's default handler does; an idle kernel
        # has nothing to raise into.
        if _executing():
            raise KeyboardInterrupt


def _executing():
    """Whether a cell is running now (an idle kernel waits in its event
    loop, outside any cell)."""
    from IPython import get_ipython

    return bool(getattr(get_ipython(), "_dla_executing", False))


def _track_execution(shell):
    if getattr(shell, "_dla_tracked", False):
        return

    def pre(*_):
        shell._dla_executing = True

    def post(*_):
        shell._dla_executing = False

    shell.events.register("pre_run_cell", pre)
    shell.events.register("post_run_cell", post)
    shell._dla_tracked = True
    # The cell that makes the first view is running now.
    shell._dla_executing = True


def explore(world=None, **setup):
    """The run live in a notebook: returns an ipywidgets box that shows the
    world's picture, its step count, the free-agents chart and a measures
    chart, with Play/Pause, Step, New setup, Reset values, the agents and
    the threshold as the window has them, and the window's speeds.

    world: a dla.World to show and step (its own steps stay its own), or
    None for a new World(**setup) (agents, threshold, size, seed as for
    World, refused in the same words). The run steps on a thread of its own
    with the interpreter's lock released, so the notebook goes on while it
    plays; after Pause, world.series, world.picture() and world.save() are
    exactly what the view shows. The threshold is handed to the world as it
    is typed and read at every step, as the window reads its edit; a text
    that is no integer shows the window's error and stops the run. Closing
    the view (view.close()) or interrupting the kernel stops the run.
    """
    from . import World

    if world is None:
        world = World(**setup)
    elif setup:
        raise TypeError("explore: give a world or its setup, not both")
    elif not isinstance(world, World):
        raise TypeError(f"explore: world: expected a dla.World, got {type(world).__name__}")
    import ipywidgets

    view = _view_class(ipywidgets)(world)
    _Interrupts.watch(view)
    try:
        from IPython import get_ipython

        shell = get_ipython()
        if shell is not None:
            _track_execution(shell)
    except ImportError:
        pass
    return view


_classes = {}


def _view_class(widgets):
    """The view's class, made once ipywidgets is imported."""
    if "view" in _classes:
        return _classes["view"]

    class LiveView(widgets.VBox):
        """The live view of one world; see dla.explore."""

        def __init__(self, world):
            self.world = world
            self._stop = threading.Event()
            self._stepper = None
            self._drawer = None
            self._state = threading.RLock()
            # Held while a frame is read and shown, by either thread; never
            # while waiting for a thread.
            self._drawing = threading.Lock()
            self._rate = SPEEDS["Full"]
            self._chart_at = 0.0
            self._shown_step = None
            self.frames = 0
            self.error = ""

            self.image = widgets.Image(format="png")
            self.step_label = widgets.Label()
            self.free_chart = widgets.HTML()
            self.measure_choice = widgets.Dropdown(options=list(MEASURES), value="clusters",
                                                   description="measure")
            self.measures_chart = widgets.HTML()
            self.play_button = widgets.Button(description="Play")
            self.step_button = widgets.Button(description="Step")
            self.setup_button = widgets.Button(description="New setup")
            self.reset_button = widgets.Button(description="Reset values")
            self.agents_text = widgets.Text(value=str(len(world.agents)), description="agents")
            self.threshold_text = widgets.Text(value=world._world.threshold_text, description="threshold")
            self.speed = widgets.Dropdown(options=list(SPEEDS), value="Full", description="speed")
            self.error_label = widgets.HTML()

            # Names a page's script or style can find them by.
            for widget, name in ((self.image, "dla-picture"), (self.step_label, "dla-steps"),
                                 (self.play_button, "dla-play"), (self.step_button, "dla-step"),
                                 (self.free_chart, "dla-free-chart"), (self.error_label, "dla-error")):
                widget.add_class(name)

            self.play_button.on_click(lambda _: self.toggle())
            self.step_button.on_click(lambda _: self.step())
            self.setup_button.on_click(lambda _: self.new_setup())
            self.reset_button.on_click(lambda _: self.reset_values())
            self.threshold_text.observe(lambda change: self._threshold_changed(), names="value")
            self.speed.observe(lambda change: self._speed_changed(), names="value")
            self.measure_choice.observe(lambda change: self._show(charts=True), names="value")

            controls = widgets.VBox([
                widgets.HBox([self.play_button, self.step_button]),
                widgets.HBox([self.setup_button, self.reset_button]),
                self.agents_text, self.threshold_text, self.speed,
                widgets.HBox([widgets.Label("steps:"), self.step_label]),
                self.error_label,
            ])
            super().__init__([
                widgets.HBox([self.image, controls]),
                widgets.HBox([self.free_chart, widgets.VBox([self.measure_choice, self.measures_chart])]),
            ])
            self._show(charts=True)

        # --- what the buttons do -------------------------------------------

        @property
        def playing(self):
            """Whether the run is stepping (its thread alive)."""
            stepper = self._stepper
            return stepper is not None and stepper.is_alive()

        @property
        def running(self):
            """Whether any of the view's threads is still alive."""
            return any(t is not None and t.is_alive() for t in (self._stepper, self._drawer))

        def toggle(self):
            """Play/Pause."""
            if self.playing:
                self.pause()
            else:
                self.play()

        def play(self):
            """Starts the run on its thread, from where it stands. With a
            threshold text that is no integer, shows the error and does not
            start; a run that has ended makes one more step."""
            with self._state:
                if self.playing:
                    return
                self._join()
                if not self._apply_threshold():
                    return
                self._stop.clear()
                self._stepper = threading.Thread(target=self._step_loop, name="dla-view-steps", daemon=True)
                self._drawer = threading.Thread(target=self._draw_loop, name="dla-view-frames", daemon=True)
                self.play_button.description = "Pause"
                self._stepper.start()
                self._drawer.start()

        def pause(self):
            """Stops the run after its current chunk of steps and shows the
            world as it then is: what world.series and world.picture() give."""
            with self._state:
                self._halt()
                self._join()
                self._show(charts=True)

        def step(self):
            """One step while paused (nothing while playing)."""
            with self._state:
                if self.playing:
                    return
                self._join()
                if self._apply_threshold():
                    self.world.step()
                self._show(charts=True)

        def new_setup(self):
            """The window's "new Setup" with the agents text (refused in
            World's words, nothing changed); playing or not, as it was."""
            with self._state:
                text = self.agents_text.value.strip()
                try:
                    agents = int(text, 10)
                except ValueError:
                    self._set_error(f"agents must be a whole number, got {text!r}")
                    return
                try:
                    self.world.new_setup(agents)
                except ValueError as error:
                    self._set_error(str(error))
                    return
                self._set_error("")
                self._show(charts=True)

        def reset_values(self):
            """The window's "reset all values": the texts of the agents and
            the threshold back to the defaults; nothing else."""
            from . import DEFAULTS

            self.agents_text.value = str(DEFAULTS["agents"])
            self.threshold_text.value = DEFAULTS["threshold"]

        def close(self):
            """Stops the run and closes the view's widgets; the world stays
            as it is, and usable."""
            self._halt()
            self._join()
            _Interrupts.views.discard(self)
            for widget in (self.image, self.step_label, self.free_chart, self.measure_choice,
                           self.measures_chart, self.play_button, self.step_button, self.setup_button,
                           self.reset_button, self.agents_text, self.threshold_text, self.speed,
                           self.error_label):
                widget.close()
            super().close()

        # --- the threads ----------------------------------------------------

        def _halt(self):
            """Ends the stepping thread's play: at the end of its current
            stretch of steps (about 20 ms) at the latest."""
            self._stop.set()
            self.world._world.hold()

        def _join(self):
            for thread in (self._stepper, self._drawer):
                if thread is not None and thread is not threading.current_thread():
                    thread.join()

        def _step_loop(self):
            world = self.world
            try:
                if world.ended:
                    # As the window's start: one more step, then off again.
                    world.step()
                    return
                started, made = time.monotonic(), 0
                rate = self._rate
                while not self._stop.is_set():
                    if self._rate != rate:
                        started, made, rate = time.monotonic(), 0, self._rate
                    if rate is None:
                        # Steps with the interpreter's lock left alone until
                        # the run ends or a pause, an interrupt or another
                        # speed holds it.
                        if world._world.play():
                            return
                        continue
                    # Steps come in batches of about 5 ms of the pace, not
                    # one wake-up a step.
                    batch = max(1, rate // 200)
                    due = int((time.monotonic() - started) * rate) - made
                    if due < batch:
                        self._stop.wait((made + batch) / rate - (time.monotonic() - started))
                        continue
                    # A world slower than its pace steps on at its own.
                    due = min(due, max(1, int(rate * CHUNK_SECONDS)))
                    before = world.step_count
                    ended = world.run(due)
                    made += world.step_count - before
                    if ended:
                        return
            finally:
                self._stop.set()

        def _draw_loop(self):
            period = 1 / FRAME_RATE
            while True:
                done = self._stop.is_set()
                began = time.monotonic()
                self._show(charts=began - self._chart_at >= 1 / CHART_RATE, final=done)
                if done:
                    return
                # A frame that took long (a busy kernel) leaves less wait.
                self._stop.wait(max(period - (time.monotonic() - began), 0.002))

        # --- showing ----------------------------------------------------------

        def _show(self, charts=False, final=False):
            """Shows the world as it is now: one read of one moment."""
            with self._drawing:
                steps, free, aggregated, ended, png, outline, changes = self.world._world.frame()
                if steps != self._shown_step or final or charts:
                    self.image.value = png
                    self.step_label.value = str(steps)
                    self.frames += 1
                self._shown_step = steps
                if charts or final:
                    self._chart_at = time.monotonic()
                    self.free_chart.value = _svg_chart("free agents", *_held_outline(*outline, CHART_BUCKETS))
                    change_steps, change_values = changes
                    column = _MEASURE_COLUMNS.index(MEASURES[self.measure_choice.value])
                    values = change_values[:, column] if len(change_steps) else np.zeros(0)
                    self.measures_chart.value = _svg_chart(
                        self.measure_choice.value, *_held_outline(change_steps, values, CHART_BUCKETS), held=True)
                if final or not self.playing:
                    self.play_button.description = "Pause" if self.playing and not final else "Play"

        def _set_error(self, text):
            self.error = text
            self.error_label.value = f'<span style="color:#b00">{html.escape(text)}</span>' if text else ""

        def _apply_threshold(self):
            """Hands the threshold text to the world; for a text that is no
            integer shows the window's error, and stops the run."""
            text = self.threshold_text.value
            error = threshold_error(text)
            if error is not None:
                self._set_error(error)
                self._halt()
                return False
            if text != self.world._world.threshold_text:
                self.world.threshold = text
            if self.error:
                self._set_error("")
            return True

        def _threshold_changed(self):
            self._apply_threshold()

        def _speed_changed(self):
            fastest = self._rate is None
            self._rate = SPEEDS[self.speed.value]
            if fastest and self.playing:
                self.world._world.hold()

    _classes["view"] = LiveView
    return LiveView
