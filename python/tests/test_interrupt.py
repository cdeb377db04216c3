"""Ctrl-C during a long call: KeyboardInterrupt, promptly, and the world
still usable; never an error left set behind a normal return."""

import os
import signal
import subprocess
import sys
import time

import pytest

# Each starts something that would run for minutes, says "go" and waits for
# the interrupt.
LONG_CALLS = {
    "run": "w = dla.World(threshold=-1, seed=1); go(); w.run()",
    "step": "w = dla.World(threshold=-1, seed=1); go(); w.step(10**9)",
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


@pytest.mark.parametrize("call", LONG_CALLS.values(), ids=LONG_CALLS.keys())
def test_ctrl_c_interrupts(call):
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
