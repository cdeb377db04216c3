#!/usr/bin/env bash
# Refreshes vendor/ from the npm registry: `npm ci` installs exactly what
# package-lock.json pins (and checks each package's tarball against the
# lock's sha512 integrity), then the chart library's built files are copied
# into vendor/, with vendor/SOURCES naming the package, the lock's
# integrity it came from and each copied file's sha512. The page's build and
# tests use vendor/ as committed and never need npm; tests/vendor_test.py
# checks vendor/ against SOURCES and package-lock.json.
#
# To move to another version: change it in package.json, run
# `npm install --package-lock-only --ignore-scripts`, then this script.
set -euo pipefail
cd "$(dirname "$0")"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp package.json package-lock.json "$work/"
(cd "$work" && npm ci --ignore-scripts --no-audit --no-fund)

package=uplot
from="$work/node_modules/$package"
version="$(node -p "require('$from/package.json').version")"
integrity="$(node -p "require('./package-lock.json').packages['node_modules/$package'].integrity")"

files=(dist/uPlot.iife.min.js dist/uPlot.min.css LICENSE)
mkdir -p vendor
{
  echo "# Written by update-vendor.sh: the files here, copied from the package that"
  echo "# npm ci installed from package-lock.json. Checked by tests/vendor_test.py."
  echo "package $package $version $integrity"
  for f in "${files[@]}"; do
    name="$(basename "$f")"
    [ "$name" = LICENSE ] && name="uPlot.LICENSE"
    cp "$from/$f" "vendor/$name"
    echo "file $name $f sha512-$(openssl dgst -sha512 -binary "vendor/$name" | base64 -w0)"
  done
} > vendor/SOURCES
cat vendor/SOURCES
