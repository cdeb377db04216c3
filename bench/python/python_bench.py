"""The Python module against the C++ run core, side by side in one run.

    /usr/bin/python3 bench/python/python_bench.py build [--rounds 7]

Every round measures each of these once, in turn, so that whatever else the
machine is doing falls on all of them alike; the table gives the medians:
- the default run (2000 agents, threshold 6, 404 x 404, seed 12345) set up
  and run to its end: World(...).run() here, TBatchRun in run_core_bench;
- the same run's steps as `for _ in range(n): w.step()` against the C++
  loop of TBatchRun::Step, per step; and w.step(0), the call alone;
- world.picture() at 404 x 404 after the run;
- a sweep (2000 agents, threshold 6, 40 runs, seed 1): dla.sweep with
  jobs=1 and jobs=2, and the dla-batch sweep process with --jobs 2.
Then, in a fresh interpreter each, the resident size over two long runs
stepped one step at a time from Python, against dla-batch's peak for the
same runs.
"""

import argparse
import os
import statistics
import subprocess
import sys
import time

SEED = 12345
SWEEP = dict(agents=2000, thresholds=6, runs=40, seed=1)
# (dla-batch arguments, steps): a run that ends by itself after 817,453
# steps, and one that never ends (threshold 65535), cut at 10^6 steps.
LONG_RUNS = [
    (dict(agents=300, seed=7), 1_000_000),
    (dict(agents=300, seed=7, threshold=-1), 1_000_000),
]


def rss_kib():
    with open("/proc/self/status") as status:
        fields = dict(line.split(":", 1) for line in status)
    return int(fields["VmRSS"].split()[0]), int(fields["VmHWM"].split()[0])


def memory_child(index):
    """One long run stepped from Python; prints the resident sizes."""
    import dla

    world_args, steps = LONG_RUNS[index]
    world = dla.World(**world_args)
    samples = [(0, *rss_kib())]
    sample_every = 100_000
    while world.step_count < steps and not world.ended:
        for _ in range(sample_every):
            world.step()
            if world.ended:
                break
        samples.append((world.step_count, *rss_kib()))
    for step, rss, hwm in samples:
        print(step, rss, hwm)


def batch_peak_kib(batch, world_args, steps):
    """dla-batch's peak resident size for the run, from GNU time (Debian
    package time): a child forked from this interpreter would count the
    interpreter's pages before its exec."""
    args = ["/usr/bin/time", "-f", "%M", batch, "--steps", str(steps)]
    args += [f"--{name}={value}" for name, value in world_args.items()]
    done = subprocess.run(args, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True,
                          check=True)
    return int(done.stderr.split()[-1])


def timed(action):
    start = time.perf_counter()
    action()
    return time.perf_counter() - start


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawTextHelpFormatter)
    parser.add_argument("build", help="the build folder")
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--memory-child", type=int, help=argparse.SUPPRESS)
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    sys.path.insert(0, os.path.join(build, "python"))
    if args.memory_child is not None:
        memory_child(args.memory_child)
        return
    import dla

    core = os.path.join(build, "bench", "run_core_bench")
    batch = os.path.join(build, "tools", "dla-batch")
    sweep_args = [batch, "sweep", "--agents", "2000", "--threshold", "6", "--runs", "40", "--seed", "1"]
    m = {}

    def add(name, value):
        m.setdefault(name, []).append(value)

    for _ in range(args.rounds):
        line = subprocess.run([core, "2000", str(SEED), "1"], capture_output=True, text=True,
                              check=True).stdout
        fields = dict(pair.split("=") for pair in line.split())
        steps = int(fields["steps"])
        add("core run ms", float(fields["run_ns"]) / 1e6)
        add("core step us", float(fields["step_ns"]) / 1e3)

        add("py run ms", 1e3 * timed(lambda: dla.World(seed=SEED).run()))

        w = dla.World(seed=SEED)

        def loop():
            for _ in range(steps):
                w.step()

        add("py step us", 1e6 * timed(loop) / steps)
        assert w.ended and w.step_count == steps

        calls = 100_000

        def empty():
            for _ in range(calls):
                w.step(0)

        add("py step(0) us", 1e6 * timed(empty) / calls)

        pictures = 200
        add("picture ms", 1e3 * timed(lambda: [w.picture() for _ in range(pictures)]) / pictures)

        runs = SWEEP["runs"]
        add("sweep jobs=1 runs/s", runs / timed(lambda: dla.sweep(**SWEEP, jobs=1)))
        add("sweep jobs=2 runs/s", runs / timed(lambda: dla.sweep(**SWEEP, jobs=2)))
        add("dla-batch sweep --jobs 2 runs/s", runs / timed(
            lambda: subprocess.run(sweep_args + ["--jobs", "2"], capture_output=True, check=True)))
        add("dla-batch sweep --jobs 1 runs/s", runs / timed(
            lambda: subprocess.run(sweep_args + ["--jobs", "1"], capture_output=True, check=True)))

    med = {name: statistics.median(values) for name, values in m.items()}
    spread = {name: (min(values), max(values)) for name, values in m.items()}
    print(f"{args.rounds} rounds, medians (min..max)")
    for name in m:
        low, high = spread[name]
        print(f"  {name:34s} {med[name]:10.4g}   ({low:.4g}..{high:.4g})")
    print(f"World.run() speed / run core speed: {med['core run ms'] / med['py run ms']:.3f}")
    print(f"Python loop step - C++ step: {med['py step us'] - med['core step us']:+.3f} us a step")
    print(f"sweep jobs=2 / jobs=1: {med['sweep jobs=2 runs/s'] / med['sweep jobs=1 runs/s']:.2f}")
    print(f"sweep jobs=2 / dla-batch sweep --jobs 2: "
          f"{med['sweep jobs=2 runs/s'] / med['dla-batch sweep --jobs 2 runs/s']:.2f}")

    for index, (world_args, steps) in enumerate(LONG_RUNS):
        out = subprocess.run([sys.executable, __file__, build, "--memory-child", str(index)],
                             capture_output=True, text=True, check=True).stdout
        samples = [tuple(map(int, line.split())) for line in out.splitlines()]
        made = samples[-1][0]
        print(f"memory, {world_args} stepped from Python ({made} steps): resident KiB at step")
        print("  " + "  ".join(f"{step}: {rss}" for step, rss, _ in samples))
        print(f"  growth after step {samples[1][0]}: {samples[-1][1] - samples[1][1]} KiB "
              f"(the series: {4 * (made - samples[1][0]) // 1024} KiB); peak {samples[-1][2]} KiB; "
              f"dla-batch's peak for the same run: {batch_peak_kib(batch, world_args, steps)} KiB")


if __name__ == "__main__":
    main()
