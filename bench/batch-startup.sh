#!/usr/bin/env bash
# Whole dla-batch processes side by side in one hyperfine run: a C++
# hello-world (the floor for any process), a one-step run, the default run
# and a single-core sweep, for this build and, if given, older builds.
#   bench/batch-startup.sh [NAME=OLD_DLA_BATCH]...
# Uses $DLA_BATCH, or build/tools/dla-batch, as "new". Prints hyperfine's
# markdown table; sweep runs/s per core = 10 / its mean time in seconds.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
NEW="${DLA_BATCH:-$ROOT/build/tools/dla-batch}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
printf '#include <cstdio>\nint main() { std::puts("hello"); }\n' >"$work/hello.cpp"
c++ -O2 "$work/hello.cpp" -o "$work/hello"

builds=("new=$NEW" "$@")
commands=(-n hello "$work/hello")
for kind in "--seed 1 --steps 1" "--seed 12345" \
            "sweep --agents 2000 --threshold 6 --runs 10 --seed 1 --jobs 1"; do
  for build in "${builds[@]}"; do
    commands+=(-n "${build%%=*}: $kind" "${build#*=} $kind")
  done
done
hyperfine -N --warmup 3 --min-runs 10 --export-markdown "$work/table.md" "${commands[@]}" >&2
cat "$work/table.md"
