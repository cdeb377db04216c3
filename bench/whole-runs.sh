#!/usr/bin/env bash
# Whole runs of dla-batch on drawing areas from the default to 12000 x 12000
# and populations to ten million, on one thread and on two, one after the
# other (nothing else should run meanwhile: two threads take both cores
# here). A case whose run would take hours stops after a number of steps.
#   bench/whole-runs.sh [CASE...]     CASE: WxH,AGENTS[,STEPS]
# Uses $DLA_BATCH, or build/tools/dla-batch. Prints a markdown table: wall
# time (process start and placement included), peak resident memory and
# nanoseconds per agent-step (the free agents summed over the steps).
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BATCH="${DLA_BATCH:-$ROOT/build/tools/dla-batch}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

cases=("$@")
if [ ${#cases[@]} -eq 0 ]; then
  # shellcheck disable=SC2054 # commas inside each case
  cases=(404x404,2000 1500x1500,10000 6000x6000,100000,20000 6000x6000,1000000
         12000x12000,1000000 12000x12000,10000000)
fi
echo "| drawing area | agents | steps | free after the last step | threads | wall time | peak memory | ns per agent-step |"
echo "|---|---|---|---|---|---|---|---|"
for c in "${cases[@]}"; do
  IFS=, read -r size agents steps <<<"$c"
  for threads in 1 2; do
    started=$(date +%s%N)
    if ! /usr/bin/time -f "%M" -o "$work/time" "$BATCH" --seed 12345 --size "$size" --agents "$agents" \
      --threads "$threads" ${steps:+--steps "$steps"} >"$work/series.csv" 2>"$work/err"; then
      cat "$work/err" >&2
      exit 1
    fi
    ended=$(date +%s%N)
    read -r kib <"$work/time"
    # The series: "step,free_agents", a line per step.
    read -r made agent_steps last < <(awk -F, 'NR > 1 { n++; s += $2; f = $2 } END { print n, s, f }' \
      "$work/series.csv")
    awk -v a="$size" -v n="$agents" -v m="$made" -v f="$last" -v t="$threads" -v ns="$((ended - started))" \
        -v k="$kib" -v as="$agent_steps" 'BEGIN {
      printf "| %s | %d | %d | %d | %d | %.3f s | %.0f MiB | %.1f |\n", a, n, m, f, t, ns / 1e9, k / 1024, ns / as }'
  done
done
