#!/usr/bin/env bash
# Rebuilds the template drawing of the shadow diagrams kept in the program's resources.
#   tools/make_diagram_template.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
cmake --build "$build" --target make_diagram_template -j2
"$build/tools/diagram_template/make_diagram_template" "$root/src/viewer/resources/cadtemp.dwg"
