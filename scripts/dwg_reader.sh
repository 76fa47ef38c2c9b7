#!/usr/bin/env bash
# Installs the independent DWG reader the tests check written files with: the npm package
# @mlightcad/libredwg-web (LibreDWG as WebAssembly), which needs Node.js 20 or later.
#   scripts/dwg_reader.sh [DIR]   (default: tools/.dwg-reader; tests look there)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-"$root/tools/.dwg-reader"}
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  echo "dwg_reader.sh: node/npm not found; the DWG reader tests will be skipped" >&2
  exit 0
fi
major=$(node -p 'process.versions.node.split(".")[0]')
if [ "$major" -lt 20 ]; then
  echo "dwg_reader.sh: Node.js $major is older than 20; the DWG reader tests will be skipped" >&2
  exit 0
fi
[ -f "$dir/node_modules/@mlightcad/libredwg-web/package.json" ] && exit 0
mkdir -p "$dir"
npm install --prefix "$dir" --no-audit --no-fund --silent @mlightcad/libredwg-web@0.7.14
