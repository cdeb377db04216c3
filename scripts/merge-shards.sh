#!/usr/bin/env bash
# Joins what the shares of a sweep wrote (their standard output, or their
# --series files) into what the whole sweep writes: the header once, then
# every row, sorted as the sweep sorts them (numerically by agents,
# threshold, seed, and for series by step).
#
#   scripts/merge-shards.sh rows-1.csv rows-2.csv ... > sweep.csv
set -euo pipefail
if [ "$#" -eq 0 ]; then
  echo "usage: $0 SHARE.csv... > WHOLE.csv" >&2
  exit 2
fi
header="$(head -n 1 "$1")"
for file in "$@"; do
  if [ "$(head -n 1 "$file")" != "$header" ]; then
    echo "$0: $file does not start with the header of $1" >&2
    exit 1
  fi
done
keys=(-k1,1n -k2,2n -k3,3n)
case "$header" in *,step,*) keys+=(-k4,4n) ;; esac
printf '%s\n' "$header"
tail -q -n +2 "$@" | LC_ALL=C sort -t, "${keys[@]}"
