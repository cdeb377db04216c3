"""Ctrl-C during a long call: KeyboardInterrupt, promptly, and the world
still usable; never an error left set behind a normal return."""

import os
import re
import signal
import subprocess
import sys
import time

import pandas as pd
import pytest

import dla

# Each starts something that would run for minutes, says "go" and waits for
# the interrupt.
LONG_CALLS = {
    "run": "w = dla.World(threshold=-1, seed=1); go(); w.run()",
    "step": "w = dla.World(threshold=-1, seed=1); go(); w.step(10**9)",
    # A big world, whose steps are slow: a Ctrl-C still answers at once.
    "big": "w = dla.World(agents=10**6, size=(6000, 6000), threshold=-1, seed=1); go(); w.run()",
    "sweep": "go(); dla.sweep(thresholds=65535, runs=1000, seed=1, steps=10**6, jobs=2)",
}

SCRIPT = """
import signal, sys
import dla
signal.signal(signal.SIGINT, signal.default_int_handler)
def go():
    print("go", flush=True)
try:
    {call}
except KeyboardInterrupt:
    if "w" in globals():
        made = w.step_count
        assert made > 0 and len(w.series) == made
        w.step()
        assert w.step_count == made + 1
    print("interrupted", flush=True)
"""


def interrupt(call):
    """Runs the call in a child, interrupts it 0.3 s after it says "go" and
    checks that it raised KeyboardInterrupt."""
    child = subprocess.Popen(
        [sys.executable, "-c", SCRIPT.format(call=call)],
        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=os.environ,
    )
    assert child.stdout.readline() == "go\n"
    time.sleep(0.3)
    child.send_signal(signal.SIGINT)
    try:
        out, err = child.communicate(timeout=10)
    except subprocess.TimeoutExpired:
        child.kill()
        raise
    assert (out, child.returncode) == ("interrupted\n", 0), err


@pytest.mark.parametrize("call", LONG_CALLS.values(), ids=LONG_CALLS.keys())
def test_ctrl_c_interrupts(call):
    interrupt(call)


def test_an_interrupted_sweep_keeps_the_rows_up_to_its_first_unfinished_run(tmp_path):
    """In order: a run that ends within a few dozen steps (threshold 2), one
    that takes about a second to reach its steps (threshold 65535), another
    quick one (which three jobs finish while the second still runs) and
    another slow one."""
    path = tmp_path / "partial.csv"
    sweep = dict(agents=[60, 100], thresholds=[2, 65535], runs=1, steps=10**6, size=(60, 60))
    interrupt(f"go(); dla.sweep(**{sweep!r}, jobs=3, partial={str(path)!r})")
    first = path.read_text().split("\n", 1)[0]
    assert first.startswith("# partial sweep, 1 of 4 rows, check "), first
    # The clock's seed, which a resume without one takes.
    seed = int(re.search(r" --seed (\d+) ", first).group(1))
    whole = dla.sweep(**sweep, seed=seed, jobs=2)
    kept = pd.read_csv(path, skiprows=1, float_precision="round_trip")
    pd.testing.assert_frame_equal(kept, whole.iloc[:1], check_exact=True, check_dtype=False)
    resumed = dla.sweep(**sweep, resume=path, jobs=2)
    pd.testing.assert_frame_equal(resumed, whole, check_exact=True)
    assert resumed.attrs["seed"] == seed
