#!/usr/bin/env bash
# Builds the page into a folder that any static web server can serve:
#   web/build.sh [OUT]        (default: build-web/site in the repository)
# The engine: the model's sources (model/), the batch runner's CSV writers
# (so the page's CSV files are dla-batch's byte for byte), its reading of a
# lattice size (--size) and the page's binding
# (web/src/), compiled to WebAssembly with Debian's emscripten (em++).
# Then the page's own files and the vendored chart library are copied, the
# project's version (project() in CMakeLists.txt) written into the page.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
OUT="${1:-$ROOT/build-web/site}"
VERSION="$(sed -n 's/^project([A-Za-z]* VERSION \([0-9.]*\).*/\1/p' "$ROOT/CMakeLists.txt")"
if [ -z "$VERSION" ]; then echo "web/build.sh: no project version in CMakeLists.txt" >&2; exit 1; fi

# emscripten's JavaScript tools need Debian's acorn; a node that is not
# Debian's does not look in Debian's module folder by itself.
export NODE_PATH="${NODE_PATH:+$NODE_PATH:}/usr/share/nodejs"

mkdir -p "$OUT/js" "$OUT/vendor"
# -fwasm-exceptions: the engine reports a bad threshold by throwing, and
# WebAssembly's own exceptions cost nothing on the step's path (emscripten's
# JavaScript exceptions route every call that may throw through JavaScript).
# -msimd128: the step's eight-lane paths (model/TLanes.h) in WebAssembly
# SIMD, which every browser the page asks for has; so have they the bulk
# memory operations (-mbulk-memory): memmove and memset become one
# instruction each instead of a loop of compiled code, and the removal of
# stopped agents moves the arrays' long runs with memmove, which makes the
# default run's step about a fifth faster.
# Compiled at -O2 (at -Os the step runs at half the speed), two files at a
# time, and linked at -Os, which makes the engine and its loader about
# 13 KB smaller at the same speed. No file system and no Node: the page
# needs neither; the engine runs in the page's worker.
OBJ="$(mktemp -d)"
trap 'rm -rf "$OBJ"' EXIT
SOURCES=("$ROOT"/model/*.cpp
  "$ROOT/tools/services/text/CsvWriter.cpp" "$ROOT/tools/services/text/SeriesCsv.cpp"
  "$ROOT/tools/services/text/MeasuresCsv.cpp" "$ROOT/tools/services/text/MeasureText.cpp"
  "$ROOT/tools/services/cli/DrawingSize.cpp" "$ROOT"/web/src/*.cpp)
FLAGS=(-std=c++20 -msimd128 -mbulk-memory -fwasm-exceptions)
printf '%s\n' "${SOURCES[@]}" | xargs -P 2 -I{} sh -c \
  'em++ "$@" -c "{}" -o "'"$OBJ"'/$(basename "{}" .cpp).o"' em++ "${FLAGS[@]}" -O2 \
  -Wall -Wextra -Wpedantic -Werror \
  -I"$ROOT/model" -I"$ROOT/tools/services/text" -I"$ROOT/tools/services/cli" -I"$ROOT/web/src"
em++ "${FLAGS[@]}" -Os "$OBJ"/*.o \
  -sENVIRONMENT=web,worker -sFILESYSTEM=0 -sALLOW_MEMORY_GROWTH=1 \
  -sMODULARIZE=1 -sEXPORT_ES6=1 -sEXPORT_NAME=createEngine \
  -o "$OUT/dla-engine.js"

sed "s/@DLA_VERSION@/$VERSION/g" "$ROOT/web/index.html" > "$OUT/index.html"
cp "$ROOT/web/style.css" "$OUT/"
cp "$ROOT/app/icon/dla-model-32.png" "$OUT/icon.png"
# The scripts without their comment lines (a line whose first text is
# "//"), which the page does not need: about a third of their bytes.
for script in "$ROOT"/web/js/*.js; do
  grep -v '^[[:space:]]*//' "$script" > "$OUT/js/$(basename "$script")"
done
cp "$ROOT"/web/vendor/uPlot.iife.min.js "$ROOT"/web/vendor/uPlot.min.css \
  "$ROOT"/web/vendor/uPlot.LICENSE "$OUT/vendor/"
echo "$OUT"
