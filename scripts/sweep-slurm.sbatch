#!/bin/bash
# A sweep spread over a Slurm job array: array task I of N runs share I/N.
# Submit from the directory that should receive the results:
#
#   jid=$(sbatch --parsable --array=1-8 path/to/scripts/sweep-slurm.sbatch)
#   sbatch --dependency=afterok:$jid --wrap \
#     'path/to/scripts/merge-shards.sh sweep-out/rows-*.csv > sweep.csv &&
#      path/to/scripts/merge-shards.sh sweep-out/series-*.csv > series.csv'
#
# The array indexes must run from 1 without gaps (--array=1-N). The sweep
# is the one below, or the sweep options given after the script's name
# (sbatch ... sweep-slurm.sbatch --agents 500,1000 --runs 50 --seed 7); it
# needs a fixed --seed, as every share must run the same sweep. Set
# DLA_BATCH to the executable if it is not on the PATH.
#SBATCH --job-name=dla-sweep
#SBATCH --array=1-8
#SBATCH --cpus-per-task=4
#SBATCH --mem-per-cpu=500M
#SBATCH --time=04:00:00
#SBATCH --output=dla-sweep-%A_%a.log
set -euo pipefail

SWEEP=(--agents 1000..5000:1000 --threshold 3..8 --runs 100 --seed 20240601)
if [ "$#" -gt 0 ]; then SWEEP=("$@"); fi
DLA_BATCH="${DLA_BATCH:-dla-batch}"
OUT="${OUT:-sweep-out}"

I="${SLURM_ARRAY_TASK_ID:?run this through sbatch --array}"
N="${SLURM_ARRAY_TASK_COUNT:-$((SLURM_ARRAY_TASK_MAX - SLURM_ARRAY_TASK_MIN + 1))}"
if [ "${SLURM_ARRAY_TASK_MIN:-1}" != 1 ]; then
  echo "array indexes must start at 1 (--array=1-N)" >&2
  exit 2
fi
mkdir -p "$OUT"
# dla-batch writes --series whole or not at all; standard output goes to a
# temporary name first so that a cancelled task leaves no partial rows file.
"$DLA_BATCH" sweep "${SWEEP[@]}" --shard "$I/$N" --jobs "${SLURM_CPUS_PER_TASK:-1}" \
  --series "$OUT/series-$I.csv" >"$OUT/rows-$I.csv.part" 2>"$OUT/summary-$I.txt"
mv "$OUT/rows-$I.csv.part" "$OUT/rows-$I.csv"
