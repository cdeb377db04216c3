"""The built dla-batch, which every test compares the module with (its path
comes in as DLA_BATCH from ctest)."""

import os
import signal
import subprocess

import pytest


def dla_batch(*args, expect_ok=True):
    """Runs dla-batch; returns the completed process (text)."""
    done = subprocess.run(
        [os.environ["DLA_BATCH"], *map(str, args)],
        capture_output=True,
        text=True,
        timeout=120,
        # A test run in the background inherits SIGINT ignored; dla-batch
        # should see what it sees in a terminal.
        preexec_fn=lambda: signal.signal(signal.SIGINT, signal.SIG_DFL),
    )
    if expect_ok:
        assert done.returncode == 0, done.stderr
    return done


@pytest.fixture(scope="session")
def source_dir():
    return os.environ["DLA_SOURCE_DIR"]
