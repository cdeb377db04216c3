"""A Python process stepping, saving and loading worlds for a long time,
its resident memory sampled every 10 s: the growth after the first minute,
as a least-squares slope in MB/min (flat is what a module that frees what
it takes gives).

    /usr/bin/python3 bench/soak/python-soak.py [SECONDS]   (default 1800)

with the built module on PYTHONPATH (build/python). Prints the samples as
"seconds,rss_mb" on standard error, then one line:
    seconds=T samples=N rss_after_1_min_mb=A rss_end_mb=B slope_mb_per_min=S
"""

import os
import sys
import tempfile
import time

import dla

from soak_slope import report


def rss_mb():
    with open("/proc/self/status", encoding="ascii") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
    raise RuntimeError("no VmRSS")


def main():
    seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 1800
    folder = tempfile.mkdtemp(prefix="dla-soak-")
    path = os.path.join(folder, "world.dla")
    start = time.monotonic()
    next_sample = 0.0
    samples = []
    seed = 0
    while True:
        now = time.monotonic() - start
        if now >= next_sample:
            samples.append((now, rss_mb()))
            print(f"{now:.0f},{samples[-1][1]:.2f}", file=sys.stderr, flush=True)
            next_sample += 10
        if now >= seconds:
            break
        # A new world each round, stepped, looked at, saved, loaded and
        # stepped on: every path that holds memory on the C++ side.
        seed += 1
        world = dla.World(agents=2000, threshold=6, seed=seed)
        world.step(40)
        world.picture()
        world.measure()
        world.save(path)
        again = dla.World.load(path)
        again.step(20)
        again.series  # pylint: disable=pointless-statement
        again.states  # pylint: disable=pointless-statement
    os.remove(path)
    os.rmdir(folder)
    print(report(samples))


if __name__ == "__main__":
    main()
