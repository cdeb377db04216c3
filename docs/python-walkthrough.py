# %% [markdown]
# # The model from Python: a walkthrough
#
# Cells in the percent format: open this file as a notebook (VS Code,
# Jupyter with jupytext, Spyder) or run it whole with
# `PYTHONPATH=build/python /usr/bin/python3 docs/python-walkthrough.py`.
# Every figure is left as a cell's last value, which a notebook shows.

# %%
import matplotlib.pyplot as plt
import numpy as np

import dla

# %% [markdown]
# ## One run
#
# A world as the window sets it up: 2000 agents on a 404 x 404 drawing area
# (135 x 135 cells), threshold 6. The seed makes the run repeatable; without
# one the world takes it from the clock and tells it in `world.seed`.

# %%
world = dla.World(agents=2000, threshold=6, size=(404, 404), seed=42)
world.step(100)  # returns the free agents of the last step made
print(world.step_count, world.free_agents, world.aggregated_cells)

# %%
world.run()  # to the end: the first step with no agent free
print(world)
series = world.series  # free agents per step, as dla-batch prints them
figure, axes = plt.subplots(figsize=(6, 3))
axes.plot(np.arange(1, len(series) + 1), series)
axes.set(xlabel="step", ylabel="free agents")
figure

# %% [markdown]
# ## What it looks like
#
# `picture()` gives the pixels that `dla-batch --picture` saves; `shades`,
# `states` and `agents` are read-only views of the world's own memory that
# follow its steps.

# %%
figure, (left, right) = plt.subplots(1, 2, figsize=(9, 4.5))
left.imshow(world.picture())
left.set_title("picture()")
agents = world.agents
right.imshow(world.shades == 255, cmap="Greys")
right.scatter((agents["x"] - 1) / 3, (agents["y"] - 1) / 3, s=1, c="red")
right.set_title("shades and agents (cells)")
figure

# %% [markdown]
# ## The aggregates
#
# `measure()` gives the values of `dla-batch --measure` (an absent value is
# None; `wraps` tells whether the largest aggregate reaches round the
# torus), `sizes()` the size distribution of `--sizes`.

# %%
print(world.measure())
sizes = world.sizes()
sizes.tail()

# %% [markdown]
# ## Many runs
#
# `dla.sweep` gives the rows of `dla-batch sweep` as a DataFrame; runs go on
# every core, and the rows do not depend on how many.

# %%
rows = dla.sweep(agents=[1000, 2000], thresholds=range(4, 7), runs=4, seed=1)
summary = rows.groupby(["agents", "threshold"])[["steps", "aggregates", "largest", "dimension"]]
summary.mean()

# %%
figure, axes = plt.subplots(figsize=(6, 3.5))
for agents, group in rows.groupby("agents"):
    means = group.groupby("threshold")["aggregates"].mean()
    axes.plot(means.index, means.values, marker="o", label=f"{agents} agents")
axes.set(xlabel="threshold", ylabel="aggregates", yscale="log")
axes.legend()
figure

# %% [markdown]
# ## On a Dask cluster
#
# With a `client`, the same sweep goes to a Dask cluster's workers in
# shares and comes back as the same rows. Here the cluster is two workers
# inside this process; docs/python.md shows a cluster of machines.

# %%
from distributed import Client, LocalCluster

with LocalCluster(n_workers=2, threads_per_worker=1, processes=False,
                  dashboard_address=None) as cluster, Client(cluster) as client:
    spread = dla.sweep(agents=[1000, 2000], thresholds=range(4, 7), runs=4, seed=1,
                       client=client)
assert spread.equals(rows)
print(f"{len(spread)} rows from the cluster, the same as on threads")
