#!/bin/bash
# A sweep spread over a Slurm job array: array task I of N runs shard I/N.
# Submit from the directory that should receive the results:
#
#   jid=$(sbatch --parsable --array=1-8 path/to/scripts/sweep-slurm.sbatch)
#   sbatch --dependency=afterok:$jid --wrap \
#     'path/to/scripts/merge-shards.sh sweep-out/rows-*-of-8.csv > sweep.csv &&
#      path/to/scripts/merge-shards.sh sweep-out/series-*-of-8.csv > series.csv'
#
# The array indexes run from 1 without gaps (--array=1-N), and N is the
# number of shards. To run shard I again alone, say which N it belongs to:
#
#   SHARDS=8 sbatch --array=3 path/to/scripts/sweep-slurm.sbatch ...
#
# The sweep is the one below, or the sweep options given after the script's
# name (sbatch ... sweep-slurm.sbatch --agents 500,1000 --runs 50 --seed 7);
# it needs a fixed --seed, as every shard must run the same sweep. Slurm runs
# a copy of this script, in the submission's directory and environment: set
# DLA_BATCH to the executable if it is not on the PATH there, and OUT to the
# results' directory (default sweep-out).
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
if [ -n "${SHARDS:-}" ]; then
  N="$SHARDS"
  if ! [ "$I" -le "$N" ] 2>/dev/null; then
    echo "array index $I is not a shard of SHARDS=$N" >&2
    exit 2
  fi
else
  N="${SLURM_ARRAY_TASK_COUNT:-$((SLURM_ARRAY_TASK_MAX - SLURM_ARRAY_TASK_MIN + 1))}"
  if [ "${SLURM_ARRAY_TASK_MIN:-1}" != 1 ]; then
    echo "array indexes must start at 1 (--array=1-N); to run shard I of N alone: SHARDS=N sbatch --array=I" >&2
    exit 2
  fi
fi
mkdir -p "$OUT"
# The names say which shard of how many, so that merge-shards.sh can tell
# when one is missing. dla-batch writes --series whole or not at all;
# standard output goes to a temporary name first so that a cancelled task
# leaves no partial rows file. A failed task's log says why.
rows="$OUT/rows-$I-of-$N.csv"
summary="$OUT/summary-$I-of-$N.txt"
"$DLA_BATCH" sweep "${SWEEP[@]}" --shard "$I/$N" --jobs "${SLURM_CPUS_PER_TASK:-1}" \
  --series "$OUT/series-$I-of-$N.csv" >"$rows.part" 2>"$summary" || {
  status=$?
  cat "$summary" >&2
  exit "$status"
}
mv "$rows.part" "$rows"
