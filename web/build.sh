#!/usr/bin/env bash
# Builds the page into a folder that any static web server can serve:
#   web/build.sh [OUT]        (default: build-web/site in the repository)
# The engine: the model's sources (model/), the batch runner's CSV writer
# (so the page's CSV is dla-batch's byte for byte) and the page's binding
# (web/src/), compiled to WebAssembly with Debian's emscripten (em++).
# Then the page's own files and the vendored chart library are copied.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
OUT="${1:-$ROOT/build-web/site}"

# emscripten's JavaScript tools need Debian's acorn; a node that is not
# Debian's does not look in Debian's module folder by itself.
export NODE_PATH="${NODE_PATH:+$NODE_PATH:}/usr/share/nodejs"

mkdir -p "$OUT/js" "$OUT/vendor"
# -fwasm-exceptions: the engine reports a bad threshold by throwing, and
# WebAssembly's own exceptions cost nothing on the step's path (emscripten's
# JavaScript exceptions route every call that may throw through JavaScript).
# No file system and no Node: the page needs neither.
em++ -std=c++20 -O2 -fwasm-exceptions -Wall -Wextra -Wpedantic -Werror \
  -I"$ROOT/model" -I"$ROOT/tools/cli" -I"$ROOT/web/src" \
  "$ROOT"/model/*.cpp \
  "$ROOT/tools/cli/CsvWriter.cpp" "$ROOT/tools/cli/InterruptGuard.cpp" \
  "$ROOT"/web/src/*.cpp \
  -sENVIRONMENT=web -sFILESYSTEM=0 -sALLOW_MEMORY_GROWTH=1 \
  -sMODULARIZE=1 -sEXPORT_ES6=1 -sEXPORT_NAME=createEngine \
  -o "$OUT/dla-engine.js"

cp "$ROOT/web/index.html" "$ROOT/web/style.css" "$OUT/"
cp "$ROOT/app/icon/dla-model-32.png" "$OUT/icon.png"
cp "$ROOT"/web/js/*.js "$OUT/js/"
cp "$ROOT"/web/vendor/uPlot.iife.min.js "$ROOT"/web/vendor/uPlot.min.css \
  "$ROOT"/web/vendor/uPlot.LICENSE "$OUT/vendor/"
echo "$OUT"
