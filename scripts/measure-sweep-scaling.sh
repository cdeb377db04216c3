#!/usr/bin/env bash
# How much faster a sweep runs with --jobs 2 than with --jobs 1, and, for
# comparison, how fast two separate processes (one share each, --jobs 1)
# get through the same runs together: for runs of equal length that is
# what the machine's two cores allow; for runs of very different lengths
# fixed shares balance worse than --jobs, which hands out runs as threads
# come free. Each is timed on the
# wall clock, REPEATS times in turn (default 5), and the medians are
# printed. Runs per second are those of the whole sweep.
#
#   scripts/measure-sweep-scaling.sh [REPEATS] [SWEEP OPTIONS...]
#
# Default sweep: 100 runs of the default setup (2000 agents, threshold 6).
# Uses $DLA_BATCH, or build/tools/dla-batch.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BIN="${DLA_BATCH:-$ROOT/build/tools/dla-batch}"
REPEATS="${1:-5}"
shift || true
if [ "$#" -gt 0 ]; then SWEEP=("$@"); else
  SWEEP=(--agents 2000 --threshold 6 --runs 100 --seed 1); fi
# A fixed seed, so that every timing runs the same runs (the shares need one).
case " ${SWEEP[*]} " in *" --seed "*) ;; *) SWEEP+=(--seed 1) ;; esac

RUNS="$("$BIN" sweep "${SWEEP[@]}" --steps 0 --jobs 1 2>/dev/null | tail -n +2 | wc -l)"
now() { echo "${EPOCHREALTIME/,/.}"; }
calc() { awk "BEGIN { print $1 }"; }
one=(); two=(); pair=()
for ((i = 1; i <= REPEATS; i++)); do
  t0=$(now); "$BIN" sweep "${SWEEP[@]}" --jobs 1 >/dev/null 2>&1
  t1=$(now); "$BIN" sweep "${SWEEP[@]}" --jobs 2 >/dev/null 2>&1
  t2=$(now)
  "$BIN" sweep "${SWEEP[@]}" --jobs 1 --shard 1/2 >/dev/null 2>&1 &
  "$BIN" sweep "${SWEEP[@]}" --jobs 1 --shard 2/2 >/dev/null 2>&1
  wait
  t3=$(now)
  one+=("$(calc "$t1 - $t0")"); two+=("$(calc "$t2 - $t1")"); pair+=("$(calc "$t3 - $t2")")
  printf 'repeat %d: --jobs 1 %.2f s, --jobs 2 %.2f s, two processes %.2f s\n' \
    "$i" "${one[-1]}" "${two[-1]}" "${pair[-1]}"
done
median() { printf '%s\n' "$@" | sort -g | awk '{v[NR]=$1} END {print (NR%2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }
m1=$(median "${one[@]}"); m2=$(median "${two[@]}"); mp=$(median "${pair[@]}")
printf 'sweep: %s (%d runs), %d cores usable, medians of %d\n' "${SWEEP[*]}" "$RUNS" "$(nproc)" "$REPEATS"
printf '  --jobs 1:          %6.2f s  %7.2f runs/s\n' "$m1" "$(calc "$RUNS / $m1")"
printf '  --jobs 2:          %6.2f s  %7.2f runs/s  speed-up %.2f\n' "$m2" \
  "$(calc "$RUNS / $m2")" "$(calc "$m1 / $m2")"
printf '  two processes:     %6.2f s  %7.2f runs/s  speed-up %.2f (one share each)\n' \
  "$mp" "$(calc "$RUNS / $mp")" "$(calc "$m1 / $mp")"
