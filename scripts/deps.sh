#!/usr/bin/env bash
# Installs the Debian 12 packages Kelvaro needs, only those missing.
#   scripts/deps.sh run    what building and running the program needs
#   scripts/deps.sh test   that plus the test, benchmark, fuzzing and checking tools
set -euo pipefail
want=${1:-run}
run_pkgs=(cmake ninja-build g++ ccache pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev libgl-dev qt6-image-formats-plugins libgl1-mesa-dri libegl-mesa0
  libtidy-dev zlib1g-dev libjpeg-dev libtiff-dev
  fonts-liberation fonts-dejavu-core
  libgtest-dev libgmock-dev libbenchmark-dev)
test_pkgs=(xvfb xauth x11-utils python3-ezdxf clang-14 libclang-rt-14-dev)
pkgs=("${run_pkgs[@]}")
[ "$want" = test ] && pkgs+=("${test_pkgs[@]}")

missing=()
for p in "${pkgs[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  [ "$want" = test ] && "$(dirname "$0")/dwg_reader.sh" || true
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
# An independent DWG reader for the tests (LibreDWG built for WebAssembly, under Node.js 20).
[ "$want" = test ] && "$(dirname "$0")/dwg_reader.sh" || true
