#!/usr/bin/env bash
# Joins what the shares of a sweep wrote (their standard output, or their
# --series files) into what the whole sweep writes: the header once, then
# every row, sorted as the sweep sorts them (numerically by agents,
# threshold, seed, and for series by step).
#
#   scripts/merge-shards.sh sweep-out/rows-*-of-8.csv > sweep.csv
#
# A file named NAME-I-of-N.EXT (as sweep-slurm.sbatch names them) holds
# share I of N. When the files are named so, all N shares must be there,
# once each: otherwise nothing is written, one line on standard error names
# what is wrong (the missing shares, for one), and the exit status is 1.
# Files named otherwise are joined as given, with no such check.
set -euo pipefail
if [ "$#" -eq 0 ]; then
  echo "usage: $0 SHARE.csv... > WHOLE.csv" >&2
  exit 2
fi
fail() {
  echo "$0: $*" >&2
  exit 1
}

# Which share each file holds, read from its name.
shards=""      # N, once a file has said it
declare -A file_of=()
named=0
for file in "$@"; do
  if [[ "${file##*/}" =~ -([0-9]+)-of-([0-9]+)(\.[^.]+)?$ ]]; then
    i=$((10#${BASH_REMATCH[1]}))
    n=$((10#${BASH_REMATCH[2]}))
    if [ -z "$shards" ]; then
      shards="$n" first="$file" prefix="${file%-*-of-*}" suffix="${BASH_REMATCH[3]}"
    fi
    [ "$n" -eq "$shards" ] || fail "$file is a shard of $n, $first a shard of $shards"
    [ "$i" -ge 1 ] && [ "$i" -le "$n" ] || fail "$file: there is no shard $i of $n"
    [ -z "${file_of[$i]:-}" ] || fail "shard $i of $n is given twice: ${file_of[$i]} and $file"
    file_of[$i]="$file"
    named=$((named + 1))
  fi
done
if [ "$named" -gt 0 ] && [ "$named" -lt "$#" ]; then
  fail "some files are named NAME-I-of-N.csv and some not; give the shards of one sweep"
fi
if [ "$named" -gt 0 ] && [ "$named" -lt "$shards" ]; then
  missing=() expected=()
  for ((i = 1; i <= shards; i++)); do
    if [ -z "${file_of[$i]:-}" ]; then
      missing+=("$i")
      expected+=("$prefix-$i-of-$shards$suffix")
    fi
  done
  list="${missing[*]}"
  fail "missing shard${missing[1]+s} ${list// /, } of $shards (no ${expected[*]})"
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
