#!/usr/bin/env python3
"""The web page's speed in headless Chromium, side by side with the native
dla-batch in one run (rounds interleave the two, so both see the same load):

  - a step of the default run (2000 agents, threshold 6), whole runs of
    several seeds: the page in its fastest mode (from "start" to the tick
    that ends the run), the page's engine alone (the step-once action in a
    loop, no frames) and dla-batch (a whole process minus one with
    --steps 0);
  - the pace at full speed (a step every millisecond) with 2000 and 10000
    agents in a run that never ends (threshold -1): steps, new pictures and
    animation frames a second;
  - the time from navigation to the first picture, fresh (no cache);
  - every byte the page downloads.

    /usr/bin/python3 bench/web-pace.py [--site DIR] [--batch DLA_BATCH] [--rounds N]

Prints medians (and min-max) as markdown. Needs the built page
(web/build.sh) and dla-batch (build/tools/dla-batch).
"""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "web", "tests"))
import page_test  # noqa: E402  (its server and browser)

SEEDS = [1, 12345, 2026, 77, 31337]
# Each measure of a seed is the least of this many repeats (a whole run takes
# only milliseconds, so a single one is at the mercy of the scheduler); the
# table gives the median and spread of these minima over seeds and rounds.
REPEATS = 7
# dla-batch's runs and empty runs (--steps 0) averaged for a native step.
NATIVE_PAIRS = 40


def spread(values, unit="", digits=1):
    return (f"{statistics.median(values):.{digits}f}{unit} "
            f"({min(values):.{digits}f}–{max(values):.{digits}f})")


def native_step_us(batch, seed, threshold="6", steps_wanted=None, extra=()):
    """Microseconds a step of dla-batch's run (to its end without steps), and
    its steps."""
    def wall(most):
        start = time.perf_counter()
        out = subprocess.run([batch, "--seed", str(seed), "--threshold", threshold, *extra,
                              *(["--steps", str(most)] if most is not None else [])],
                             check=True, capture_output=True).stdout
        return time.perf_counter() - start, out.count(b"\n") - 1
    # A whole default run takes about a millisecond, less than a process's
    # start varies by on a machine whose first touch of a page is slow, so
    # the least of a few of each could come out negative: the mean of many
    # pairs, taken in turn, keeps the start's spread out of the difference.
    empty, full, steps = [], [], None
    for _ in range(NATIVE_PAIRS):
        empty.append(wall(0)[0])
        seconds, steps = wall(steps_wanted)
        full.append(seconds)
    return (statistics.fmean(full) - statistics.fmean(empty)) / steps * 1e6, steps


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--site", default="build-web/site")
    parser.add_argument("--batch", default="build/tools/dla-batch")
    parser.add_argument("--rounds", type=int, default=5)
    args = parser.parse_args()
    page_test.SITE = args.site

    server = page_test.start_server()
    base = f"http://127.0.0.1:{server.server_address[1]}/"
    scratch = tempfile.mkdtemp(prefix="dla-web-bench-")
    driver = page_test.start_browser(scratch)
    js = lambda script, *a: driver.execute_script("const p = window.dlaPage;\n" + script, *a)  # noqa: E731
    wait = lambda script, *a: driver.execute_async_script("const p = window.dlaPage;\n" + script, *a)  # noqa: E731

    def load(query=""):
        driver.get(base + query)
        driver.execute_async_script("window.dlaPage.ready.then(arguments[0])")

    fastest, engine, native, native_measures = [], [], [], []
    free_fastest, free_pictures, free_native = [], [], []
    pace = {2000: [], 10000: []}
    first_picture, sizes = [], None
    try:
        for _ in range(args.rounds):
            # Load to first picture, nothing cached.
            driver.execute_cdp_cmd("Network.enable", {})
            driver.execute_cdp_cmd("Network.setCacheDisabled", {"cacheDisabled": True})
            load()
            first_picture.append(js("return p.stats().firstPicture"))
            # The page's and its worker's downloads (the worker fetches the
            # engine's .wasm itself).
            sizes = js("""return p.workerResources().then((worker) => [
                    ...[performance.getEntriesByType('navigation')[0],
                        ...performance.getEntriesByType('resource')]
                        .map(e => [e.name, e.transferSize, e.encodedBodySize]),
                    ...worker].map(([name, ...bytes]) => [name.replace(location.origin, ''), ...bytes]))""")
            driver.execute_cdp_cmd("Network.setCacheDisabled", {"cacheDisabled": False})

            for seed in SEEDS:
                load(f"?seed={seed}")
                runs = [wait("""const done = arguments[0];
                    p.stop(); p.setSpeed(0); p.newSetup();
                    const started = performance.now(); p.start();
                    const check = () => p.running() ? setTimeout(check, 2)
                        : done([p.stepCount(), (p.stats().endedAt - started) * 1000 / p.stepCount()]);
                    setTimeout(check, 2);""") for _ in range(REPEATS)]
                steps = runs[0][0]
                fastest.append(min(r[1] for r in runs))
                engine.append(min(js("""const steps = arguments[0];
                    return p.newSetup().then(() => { const started = performance.now();
                        return p.stepOnce(steps).then(() => (performance.now() - started) * 1000 / steps); });""",
                                     steps) for _ in range(REPEATS)))
                us, native_steps = native_step_us(args.batch, seed)
                assert native_steps == steps, (seed, native_steps, steps)
                native.append(us)
                # The page keeps the measures at every step (its measures
                # chart); dla-batch does so for --measures-series.
                native_measures.append(native_step_us(
                    args.batch, seed, extra=("--measures-series", os.path.join(scratch, "m.csv")))[0])

            # Fastest, every agent free at every step (threshold -1), for 3 s.
            load("?seed=1&threshold=-1")
            rate = wait("""const done = arguments[0];
                p.stop(); p.setSpeed(0); p.newSetup(); const before = p.stats();
                const started = performance.now(); p.start();
                setTimeout(() => { const after = p.stats(), s = (performance.now() - started) / 1000;
                    p.stop(); done([(after.steps - before.steps) / s, (after.pictures - before.pictures) / s]); },
                    3000);""")
            free_fastest.append(1e6 / rate[0])
            free_pictures.append(rate[1])
            free_native.append(native_step_us(args.batch, 1, "-1", 5000)[0])

            for agents in pace:
                load(f"?seed=1&agents={agents}&threshold=-1")
                pace[agents].append(wait("""const done = arguments[0];
                    p.stop(); p.setSpeed(1); p.newSetup(); const before = p.stats();
                    const started = performance.now(); p.start();
                    setTimeout(() => { const after = p.stats(), s = (performance.now() - started) / 1000;
                        p.stop();
                        done([(after.steps - before.steps) / s, (after.pictures - before.pictures) / s,
                              (after.frames - before.frames) / s]); }, 5000);"""))
    finally:
        driver.quit()
        server.shutdown()
        server.server_close()

    cpu = subprocess.run(["lscpu"], capture_output=True, text=True).stdout
    model = next((l.split(":", 1)[1].strip() for l in cpu.splitlines() if l.startswith("Model name")), "?")
    print(f"Machine: {model}, {os.cpu_count()} cores; Chromium headless; {args.rounds} rounds; "
          f"medians (min–max)\n")
    ratio = [f / n for f, n in zip(fastest, native)]
    print("| default run, seeds " + ", ".join(map(str, SEEDS)) + " | µs a step |")
    print("|---|---|")
    print(f"| page, fastest mode, whole run | {spread(fastest)} |")
    print(f"| page's engine alone (step once for the whole run) | {spread(engine)} |")
    print(f"| native dla-batch | {spread(native)} |")
    print(f"| native dla-batch --measures-series (the measures kept, as the page keeps them) | "
          f"{spread(native_measures)} |")
    print(f"| page fastest / native, run by run | {spread(ratio, ' ×', 2)} |")
    print(f"| page fastest / native with the measures, run by run | "
          f"{spread([f / n for f, n in zip(fastest, native_measures)], ' ×', 2)} |\n")
    print("| 2000 agents, all free (threshold -1) | µs a step |")
    print("|---|---|")
    print(f"| page, fastest mode, 3 s ({spread(free_pictures, ' new pictures/s', 0)}) | {spread(free_fastest)} |")
    print(f"| native dla-batch, 5000 steps | {spread(free_native)} |")
    print(f"| page fastest / native | {spread([f / n for f, n in zip(free_fastest, free_native)], ' ×', 2)} |\n")
    print("| full speed, threshold -1 | steps/s | new pictures/s | animation frames/s |")
    print("|---|---|---|---|")
    for agents, rows in pace.items():
        columns = list(zip(*rows))
        print(f"| {agents} agents | " + " | ".join(spread(list(c), "", 0) for c in columns) + " |")
    print(f"\nLoad to first picture, no cache: {spread(first_picture, ' ms', 0)}\n")
    print("| file | bytes over the wire | body |")
    print("|---|---|---|")
    for name, transfer, body in sizes:
        print(f"| {name} | {transfer} | {body} |")
    print(f"| total | {sum(s[1] for s in sizes)} | {sum(s[2] for s in sizes)} |")


if __name__ == "__main__":
    main()
