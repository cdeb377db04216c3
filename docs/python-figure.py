"""The aggregates and their box-counting dimension against the threshold,
one line per agent count: the mean over the runs of a sweep with one sample
standard deviation as error bars.

    PYTHONPATH=build/python /usr/bin/python3 docs/python-figure.py docs/python-figure.png

(with the module installed, no PYTHONPATH). The defaults are the sweep of
docs/measures.md; --runs 2 --agents 300 --thresholds 3..5 --size 90x90 is
quick.
"""

import argparse

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

import dla  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawTextHelpFormatter)
    parser.add_argument("output", help="the figure, PNG")
    parser.add_argument("--agents", default="1000,2000", help="agent counts, dla-batch's list text")
    parser.add_argument("--thresholds", default="3..8", help="thresholds, dla-batch's list text")
    parser.add_argument("--runs", type=int, default=20)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--size", default="404x404", help="drawing area WxH")
    args = parser.parse_args()

    rows = dla.sweep(agents=args.agents, thresholds=args.thresholds, runs=args.runs,
                     seed=args.seed, size=args.size)
    # Over the runs that have a value (the dimension is absent without
    # aggregates).
    stats = rows.groupby(["agents", "threshold"])[["aggregates", "dimension"]].agg(["mean", "std"])

    figure, (left, right) = plt.subplots(1, 2, figsize=(11, 4.5), constrained_layout=True)
    for agents, group in stats.groupby(level="agents"):
        thresholds = group.index.get_level_values("threshold")
        for axes, measure in ((left, "aggregates"), (right, "dimension")):
            axes.errorbar(thresholds, group[(measure, "mean")], yerr=group[(measure, "std")],
                          marker="o", capsize=3, label=f"{agents} agents")
    left.set(xlabel="threshold", ylabel="aggregates at the end of the run", yscale="log")
    right.set(xlabel="threshold", ylabel="box-counting dimension of the aggregates")
    for axes in (left, right):
        axes.grid(alpha=0.3)
        axes.legend()
    figure.suptitle(f"{args.runs} runs each, seeds {args.seed}.., drawing area {args.size}")
    figure.savefig(args.output, dpi=100)


if __name__ == "__main__":
    main()
