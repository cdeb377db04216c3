#!/usr/bin/env bash
# The job-array script run as Slurm would run its three tasks, then the
# merge script: the merged rows and series must be the whole sweep's.
#   shard_scripts_test.sh DLA_BATCH SCRIPTS_DIR
set -euo pipefail
DLA_BATCH="$1"
SCRIPTS="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
sweep=(--size 60x60 --agents 60,100 --threshold 2..4 --runs 3 --seed 4294967295 --steps 300)

for i in 1 2 3; do
  SLURM_ARRAY_TASK_ID=$i SLURM_ARRAY_TASK_COUNT=3 SLURM_ARRAY_TASK_MIN=1 SLURM_CPUS_PER_TASK=1 \
    DLA_BATCH="$DLA_BATCH" bash "$SCRIPTS/sweep-slurm.sbatch" "${sweep[@]}"
done
ls sweep-out/rows-1.csv sweep-out/rows-2.csv sweep-out/rows-3.csv >/dev/null
if ls sweep-out/*.part 2>/dev/null; then echo "a partial rows file was left" >&2; exit 1; fi

"$SCRIPTS/merge-shards.sh" sweep-out/rows-*.csv >merged-rows.csv
"$SCRIPTS/merge-shards.sh" sweep-out/series-*.csv >merged-series.csv
"$DLA_BATCH" sweep "${sweep[@]}" --series whole-series.csv >whole-rows.csv 2>/dev/null

fail=0
cmp merged-rows.csv whole-rows.csv || fail=1
cmp merged-series.csv whole-series.csv || fail=1
rows=$(($(wc -l <whole-rows.csv) - 1))
[ "$rows" -eq 18 ] || { echo "expected 18 rows, got $rows" >&2; fail=1; }
# Shares with different headers are refused.
if "$SCRIPTS/merge-shards.sh" sweep-out/rows-1.csv sweep-out/series-1.csv >/dev/null 2>&1; then
  echo "merged files with different headers" >&2
  fail=1
fi
[ "$fail" -eq 0 ] && echo "the merged shares are the whole sweep"
exit "$fail"
