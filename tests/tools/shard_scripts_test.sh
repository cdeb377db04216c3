#!/usr/bin/env bash
# The job-array script run as Slurm would run its three tasks, then the
# merge script: the merged rows and series must be the whole sweep's, and an
# incomplete or mixed set of shards must be refused.
#   shard_scripts_test.sh DLA_BATCH SCRIPTS_DIR
set -euo pipefail
DLA_BATCH="$1"
SCRIPTS="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
sweep=(--size 60x60 --agents 60,100 --threshold 2..4 --runs 3 --seed 4294967295 --steps 300)

# task I [MIN COUNT [SHARDS]]: array task I as Slurm starts it, in an array
# whose indexes start at MIN and number COUNT (default 1 and 3).
task() {
  env SLURM_ARRAY_TASK_ID="$1" SLURM_ARRAY_TASK_MIN="${2:-1}" SLURM_ARRAY_TASK_COUNT="${3:-3}" \
    SLURM_CPUS_PER_TASK=1 ${4:+SHARDS="$4"} DLA_BATCH="$DLA_BATCH" \
    bash "$SCRIPTS/sweep-slurm.sbatch" "${sweep[@]}"
}
for i in 1 2 3; do task "$i"; done
ls sweep-out/rows-{1,2,3}-of-3.csv sweep-out/series-{1,2,3}-of-3.csv >/dev/null
if ls sweep-out/*.part 2>/dev/null; then echo "a partial rows file was left" >&2; exit 1; fi

"$SCRIPTS/merge-shards.sh" sweep-out/rows-*-of-3.csv >merged-rows.csv
"$SCRIPTS/merge-shards.sh" sweep-out/series-*-of-3.csv >merged-series.csv
"$DLA_BATCH" sweep "${sweep[@]}" --series whole-series.csv >whole-rows.csv 2>/dev/null

fail=0
cmp merged-rows.csv whole-rows.csv || fail=1
cmp merged-series.csv whole-series.csv || fail=1
rows=$(($(wc -l <whole-rows.csv) - 1))
[ "$rows" -eq 18 ] || { echo "expected 18 rows, got $rows" >&2; fail=1; }

# Files named otherwise are merged as given.
for i in 1 2 3; do cp "sweep-out/rows-$i-of-3.csv" "plain-$i.csv"; done
"$SCRIPTS/merge-shards.sh" plain-*.csv | cmp - whole-rows.csv || fail=1

# A lost shard run again alone, as `SHARDS=3 sbatch --array=2` runs it: the
# same file as in the whole array. Without SHARDS it is refused.
mkdir again
(cd again && task 2 2 1 3 && cmp sweep-out/rows-2-of-3.csv ../sweep-out/rows-2-of-3.csv) || fail=1
if (cd again && task 2 2 1 2>/dev/null); then
  echo "an array starting at 2 ran without SHARDS" >&2
  fail=1
fi

# Refused sets: nothing on standard output, exit status 1, one line on
# standard error that says what is wrong.
cp sweep-out/rows-1-of-3.csv rows-1-of-4.csv
cp sweep-out/rows-1-of-3.csv rows-0-of-3.csv
refused=(
  "sweep-out/rows-1-of-3.csv sweep-out/rows-3-of-3.csv|missing shard 2 of 3 (no sweep-out/rows-2-of-3.csv)"
  "sweep-out/series-2-of-3.csv|missing shards 1, 3 of 3 (no sweep-out/series-1-of-3.csv sweep-out/series-3-of-3.csv)"
  "sweep-out/rows-1-of-3.csv sweep-out/rows-2-of-3.csv rows-1-of-4.csv|rows-1-of-4.csv is a shard of 4"
  "sweep-out/rows-1-of-3.csv sweep-out/rows-2-of-3.csv sweep-out/rows-3-of-3.csv sweep-out/rows-3-of-3.csv|shard 3 of 3 is given twice"
  "sweep-out/rows-1-of-3.csv sweep-out/rows-2-of-3.csv sweep-out/rows-3-of-3.csv rows-0-of-3.csv|there is no shard 0 of 3"
  "sweep-out/rows-1-of-3.csv sweep-out/rows-2-of-3.csv sweep-out/rows-3-of-3.csv plain-1.csv|some files are named NAME-I-of-N.csv and some not"
  "sweep-out/rows-1-of-3.csv sweep-out/rows-2-of-3.csv sweep-out/series-3-of-3.csv|does not start with the header"
)
for case in "${refused[@]}"; do
  read -r -a files <<<"${case%%|*}"
  expected="${case#*|}"
  status=0
  "$SCRIPTS/merge-shards.sh" "${files[@]}" >out.csv 2>err.txt || status=$?
  if [ "$status" -ne 1 ] || [ -s out.csv ] || [ "$(wc -l <err.txt)" -ne 1 ] ||
    ! grep -qF -- "$expected" err.txt; then
    echo "merge-shards.sh ${files[*]}: status $status, $(wc -c <out.csv) bytes out, said: $(cat err.txt)" >&2
    echo "  expected status 1, nothing out, one line with: $expected" >&2
    fail=1
  fi
done
[ "$fail" -eq 0 ] && echo "the merged shares are the whole sweep; incomplete sets are refused"
exit "$fail"
