"""The live view in a real kernel, driven by nbclient as a notebook is run:
the example notebook (which checks the view against dla-batch cell by
cell), and interrupting the kernel while a view plays."""

import os
import threading

import pytest
from nbclient.exceptions import CellExecutionError
from nbclient.util import run_sync

from notebooks import client, code, example, read


def test_example_notebook_runs_and_checks_itself(tmp_path):
    notebook = read(example("live-view.ipynb"))
    client(notebook, tmp_path).execute()
    # The view's cell shows the widget; the world's cell shows its picture.
    outputs = {i: cell.outputs for i, cell in enumerate(notebook.cells) if cell.cell_type == "code"}
    assert any("application/vnd.jupyter.widget-view+json" in o.get("data", {}) for o in outputs[1])
    steps = int(outputs[3][0]["data"]["text/plain"])
    world = outputs[5][0]["data"]
    assert f"seed 42, step {steps}, free " in world["text/html"]
    assert f"# step {steps}, free " in world["text/plain"]
    assert world["image/png"] and world["image/png"].strip() in world["text/html"]


SETUP = """
import threading, time
import numpy as np
import dla
world = dla.World(agents=2000, threshold=-1, seed=3)
view = dla.explore(world)
view.speed.value = {speed!r}
view.play()
while world.step_count < 20:
    time.sleep(0.01)
# Another speed while it plays, and back: it plays on.
view.speed.value = "10 steps per second" if {speed!r} == "Fastest" else "Fastest"
time.sleep(0.05)
view.speed.value = {speed!r}
made = world.step_count
time.sleep(0.3)
assert view.playing and world.step_count > made
"""
# After an interrupt the threads end within a chunk of steps; the loop is
# bounded so that a thread that never ends fails the test.
STOPPED = """
deadline = time.monotonic() + 20
while view.running and time.monotonic() < deadline:
    time.sleep(0.01)
assert not view.running and not view.playing, "the view still plays"
assert not [t for t in threading.enumerate() if t.name.startswith("dla-view")]
made = world.step_count
time.sleep(0.2)
assert world.step_count == made
assert view.step_label.value == str(made) and view.play_button.description == "Play"
world.step(5)
fresh = dla.World(agents=2000, threshold=-1, seed=3)
fresh.step(made + 5)
assert np.array_equal(world.series, fresh.series) and np.array_equal(world.picture(), fresh.picture())
view.play()
assert view.playing
"""
BUSY = """
open("busy", "w").close()
deadline = time.monotonic() + 60
while time.monotonic() < deadline:
    time.sleep(0.01)
raise AssertionError("not interrupted")
"""


@pytest.mark.parametrize("speed", ["Full", "Fastest"])
@pytest.mark.parametrize("busy", [False, True], ids=["idle kernel", "busy cell"])
def test_interrupting_the_kernel_stops_the_view(tmp_path, busy, speed):
    notebook = code(SETUP.format(speed=speed), BUSY, STOPPED, STOPPED)
    runner = client(notebook, tmp_path)
    with runner.setup_kernel():
        runner.execute_cell(notebook.cells[0], 0)
        if busy:
            # Interrupted once the cell runs, which then ends in
            # KeyboardInterrupt.
            def interrupt():
                while not os.path.exists(tmp_path / "busy"):
                    threading.Event().wait(0.01)
                run_sync(runner.km.interrupt_kernel)()

            interrupter = threading.Thread(target=interrupt)
            interrupter.start()
            with pytest.raises(CellExecutionError, match="KeyboardInterrupt"):
                runner.execute_cell(notebook.cells[1], 1)
            interrupter.join()
        else:
            run_sync(runner.km.interrupt_kernel)()
        runner.execute_cell(notebook.cells[2], 2)
        # Played again at the end of that cell: stopped by the next
        # interrupt as well.
        run_sync(runner.km.interrupt_kernel)()
        runner.execute_cell(notebook.cells[3], 3)
