#!/usr/bin/env bash
# Whole dla-batch processes with and without a movie or a checkpoint, side
# by side in one hyperfine run: a C++ hello-world (the floor for any
# process), the default run (--seed 12345: 1,884 steps, 404 x 404, 2,000
# agents), that run with a movie in each format (every step, and the
# lossless one every 10 steps), saving its end, and loading it to run
# nothing more. Outputs go to a temporary folder on the same file system as
# the build (a movie, a checkpoint and the fsync of each included).
#   bench/movie-checkpoint.sh [HYPERFINE OPTIONS]
# Uses $DLA_BATCH, or build/tools/dla-batch (dla-encode beside it).
# Prints hyperfine's markdown table.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BATCH="${DLA_BATCH:-$ROOT/build/tools/dla-batch}"
work="$(mktemp -d "$ROOT/build/bench-movie.XXXXXX")"
trap 'rm -rf "$work"' EXIT
printf '#include <cstdio>\nint main() { std::puts("hello"); }\n' >"$work/hello.cpp"
c++ -O2 "$work/hello.cpp" -o "$work/hello"
run="$BATCH --seed 12345"
$run --save-state "$work/end.dla" >/dev/null 2>&1
hyperfine -N --warmup 2 --min-runs 5 "$@" --export-markdown "$work/table.md" \
  -n hello "$work/hello" \
  -n "default run" "$run" \
  -n "movie run.mp4" "$run --movie $work/run.mp4" \
  -n "movie run.webm" "$run --movie $work/run.webm" \
  -n "movie run.gif" "$run --movie $work/run.gif" \
  -n "movie run.mkv" "$run --movie $work/run.mkv" \
  -n "movie run.mkv --movie-every 10" "$run --movie $work/run10.mkv --movie-every 10" \
  -n "save-state" "$run --save-state $work/saved.dla" \
  -n "load-state (end), 0 steps" "$BATCH --load-state $work/end.dla --steps 0" \
  -n "steps 0 (fresh set-up)" "$run --steps 0" >&2
cat "$work/table.md"
ls -l "$work"/*.mp4 "$work"/*.webm "$work"/*.gif "$work"/*.mkv "$work"/*.dla >&2
