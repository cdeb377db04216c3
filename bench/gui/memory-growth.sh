#!/usr/bin/env bash
# How the window's resident memory grows in a run that never ends: runs
# dla-gui-pace (the window at full pace, threshold "-1", so no agent ever
# stops and the chart gains a point every step) under Xvfb, samples its
# resident set size every 10 s, fits a line to the samples after the
# first minute and extrapolates it to an hour.
# Usage: memory-growth.sh PATH/TO/dla-gui-pace [SECONDS [AGENTS [PACE OPTION...]]]
#   (defaults: 600 s, 10000 agents; options of dla-gui-pace after them,
#   e.g. --fastest --record-every 60 for the soak). Prints the samples as
#   "seconds,rss_kib" on standard error, then the pace's own line and one
#   summary line on standard output.
set -euo pipefail

pace=$1
seconds=${2:-600}
agents=${3:-10000}
shift $(($# < 3 ? $# : 3))
interval=10
paceOut=$(mktemp)
trap 'rm -f "$paceOut"' EXIT

sample() {
  local pace=$1 seconds=$2 agents=$3 interval=$4 out=$5
  shift 5
  "$pace" --seconds "$seconds" --agents "$agents" --rounds 1 "$@" >"$out" 2>/dev/null &
  local pid=$! start=$SECONDS
  while kill -0 "$pid" 2>/dev/null; do
    local rss
    rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status" 2>/dev/null || true)
    [ -n "$rss" ] && echo "$((SECONDS - start)),$rss"
    sleep "$interval"
  done
  wait "$pid"
}

samples=$(xvfb-run -a -s "-screen 0 1280x800x24" \
  bash -c "$(declare -f sample)"'; sample "$@"' _ "$pace" "$seconds" "$agents" "$interval" "$paceOut" "$@")
echo "$samples" >&2
cat "$paceOut"

# Least squares over the samples after the first minute (start-up and the
# first layout of the chart are done by then); and over each minute's
# highest sample from then on: a recording started and stopped every minute
# takes buffers that the allocator at first gives back to the system after
# each stop and later keeps for the next, which tilts the line through
# every sample without any growth of what the window holds at its fullest.
awk -F, -v agents="$agents" '
  { last = $2; t = $1 }
  $1 >= 60 && !first { first = $2 }
  $1 >= 60 {
    n++; sx += $1; sy += $2; sxx += $1 * $1; sxy += $1 * $2
    m = int($1 / 60); if (!(m in peak) || $2 > peak[m]) peak[m] = $2
  }
  END {
    if (n < 2) { print "too few samples after the first minute"; exit 1 }
    slope = (n * sxy - sx * sy) / (n * sxx - sx * sx)  # KiB per second
    for (m in peak) { pn++; px += m; py += peak[m]; pxx += m * m; pxy += m * peak[m] }
    peaks = pn < 2 ? 0 : (pn * pxy - px * py) / (pn * pxx - px * px)  # KiB per minute
    printf "agents=%d seconds=%d rss_after_1_min_mib=%.1f rss_end_mib=%.1f " \
           "growth_mib_per_minute=%.3f growth_mib_per_hour=%.1f peak_growth_mib_per_minute=%.3f\n",
           agents, t, first / 1024, last / 1024, slope * 60 / 1024, slope * 3600 / 1024, peaks / 1024
  }' <<<"$samples"
