#!/usr/bin/env bash
# Builds Kelvaro (installing its Debian packages when missing) and starts it.
# Arguments are drawings to open.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh" run
"$root/scripts/build.sh" "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
exec "$root/build/src/app/kelvaro" "$@"
