"""The notebook's live view at its fastest, in Debian's notebook server and
headless Chromium, against World.run() without a view in the same kernel.

    PYTHONPATH=build/python /usr/bin/python3 bench/python/view_bench.py [--rounds 3] [--seconds 5]

Every round, in turn: World.run() on a world of the default setup whose
threshold never lets anything aggregate (the default run itself ends within
a few milliseconds, too soon to watch), timed in the kernel; then the same
setup in the view at "Fastest", its steps counted over the same time in the
kernel while the page counts the pictures it shows and runs `1 + 1` cells
one after another (a tenth of a second apart), timing each from sending to
its reply. The table gives
the medians over the rounds (the latency's worst too).
"""

import argparse
import os
import statistics
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "python", "notebook_tests"))

from browser import chromium, notebook_server, open_and_run_first_cell, run_cell  # noqa: E402

SETUP = dict(agents=2000, threshold=-1, seed=1)


def cells(seconds):
    return [
        f"""import time, dla
world = dla.World(**{SETUP!r})
view = dla.explore(world)
view.speed.value = "Fastest"
view""",
        # World.run() alone: steps a second over `seconds`.
        f"""bare = dla.World(**{SETUP!r})
start = time.perf_counter()
while time.perf_counter() - start < {seconds}:
    bare.run(1000)
print(bare.step_count / (time.perf_counter() - start))""",
        # The view's steps while it plays, from here to the next cell.
        "made, sent, start = world.step_count, view.frames, time.perf_counter()",
        "took = time.perf_counter() - start\n"
        "print((world.step_count - made) / took, (view.frames - sent) / took)",
    ]


COUNT_FRAMES = """
const image = document.querySelector('img.dla-picture');
window.dlaFrames = 0;
// One callback may carry several changes of the picture.
window.dlaObserver = new MutationObserver((records) => { window.dlaFrames += records.length; });
window.dlaObserver.observe(image, {attributes: true, attributeFilter: ['src']});
"""

# `1 + 1` cells one after another for `seconds`: each one's time from
# sending to its reply, in milliseconds.
LATENCIES = """
const [seconds, done] = arguments;
const times = [];
const end = performance.now() + 1000 * seconds;
function next() {
  if (performance.now() > end) { done(times); return; }
  const sent = performance.now();
  Jupyter.notebook.kernel.execute('1 + 1', {shell: {reply: () => {
    times.push(performance.now() - sent);
    setTimeout(next, 100);
  }}});
}
next();
"""


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--seconds", type=float, default=5)
    options = parser.parse_args()
    bare, viewed, frames, sent, latency = [], [], [], [], []
    with notebook_server(cells(options.seconds)) as (url, folder), chromium(folder) as driver:
        play = open_and_run_first_cell(driver, url)
        for _ in range(options.rounds):
            bare.append(float(run_cell(driver, 1, timeout=60 + options.seconds)))
            play.click()
            driver.execute_script(COUNT_FRAMES)
            run_cell(driver, 2)
            times = driver.execute_async_script(LATENCIES, options.seconds)
            counted = driver.execute_script("window.dlaObserver.disconnect(); return window.dlaFrames;")
            steps, sent_rate = map(float, run_cell(driver, 3).split())
            viewed.append(steps)
            sent.append(sent_rate)
            frames.append(counted / options.seconds)
            latency.extend(times)
            play.click()
    median = statistics.median
    print(f"World.run() without a view: {median(bare):,.0f} steps/s  (rounds: "
          + ", ".join(f"{v:,.0f}" for v in bare) + ")")
    print(f"the view at Fastest:        {median(viewed):,.0f} steps/s  (rounds: "
          + ", ".join(f"{v:,.0f}" for v in viewed) + f")  = {median(viewed) / median(bare):.2f} x")
    print(f"pictures sent by the view:  {median(sent):.1f} a second  (rounds: "
          + ", ".join(f"{v:.1f}" for v in sent) + ")")
    print(f"pictures shown by the page: {median(frames):.1f} a second  (rounds: "
          + ", ".join(f"{v:.1f}" for v in frames) + ")")
    print(f"`1 + 1` while it plays:     median {median(latency):.1f} ms, worst {max(latency):.1f} ms "
          f"({len(latency)} cells)")


if __name__ == "__main__":
    main()
