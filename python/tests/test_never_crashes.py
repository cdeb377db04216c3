"""The module never takes the interpreter down: crash_drive.py drives
World, its views, save and load (of arbitrary and spoilt bytes, pickles
included) and sweep with arbitrary arguments in a child process, where any
exception is allowed; a child killed by a signal (a segfault, an abort) or
ending otherwise than cleanly fails, naming the example it was trying.
DLA_CRASH_EXAMPLES sets the examples of each kind (default 40: short)."""

import os
import subprocess
import sys


def test_no_input_crashes_the_interpreter(tmp_path):
    trace = tmp_path / "trace.txt"
    examples = os.environ.get("DLA_CRASH_EXAMPLES", "40")
    done = subprocess.run(
        [sys.executable, os.path.join(os.path.dirname(__file__), "crash_drive.py"), str(trace), examples],
        capture_output=True, text=True, timeout=1800, check=False)
    lines = trace.read_text(encoding="utf-8").splitlines() if trace.exists() else []
    last = lines[-1] if lines else "(none)"
    assert done.returncode == 0, (
        f"the driven module ended with status {done.returncode} on example {last}\n{done.stderr[-3000:]}")
    assert f"driven {examples} examples" in done.stdout
