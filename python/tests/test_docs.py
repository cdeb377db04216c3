"""The examples in docs/ run as they are shown (with small sweeps)."""

import os
import subprocess
import sys

from PIL import Image


def run_example(source_dir, tmp_path, name, *args):
    done = subprocess.run(
        [sys.executable, os.path.join(source_dir, "docs", name), *args],
        cwd=tmp_path, capture_output=True, text=True, timeout=120,
        env=dict(os.environ, MPLBACKEND="Agg"),
    )
    assert done.returncode == 0, done.stderr
    return done


def test_figure_script(source_dir, tmp_path):
    figure = tmp_path / "figure.png"
    run_example(source_dir, tmp_path, "python-figure.py", str(figure),
                "--agents", "300,400", "--thresholds", "3..5", "--runs", "3", "--size", "90x90")
    with Image.open(figure) as image:
        assert image.size == (1100, 450)
        # Lines were drawn: more than the axes' few colours.
        assert len(image.convert("RGB").getcolors(maxcolors=1 << 16)) > 50


def test_walkthrough(source_dir, tmp_path):
    done = run_example(source_dir, tmp_path, "python-walkthrough.py")
    assert "rows from the cluster, the same as on threads" in done.stdout
