#!/usr/bin/env bash
# Builds Kelvaro and runs the whole test suite headless (installing packages when missing).
#   KELVARO_QUICK=1  skip the sanitizer build and the fuzzing run
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/deps.sh" test
"$root/scripts/build.sh" "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo

export QT_QPA_PLATFORM=offscreen
status=0
# GL tests need a real X server; everything else runs offscreen inside the same session.
xvfb-run -a -s "-screen 0 1280x1024x24" \
  ctest --test-dir "$root/build" --output-on-failure -j "$(nproc)" --timeout 600 || status=$?

if [ "${KELVARO_QUICK:-0}" != 1 ]; then
  # The plain libraries and their unit tests once more under AddressSanitizer + UBSan.
  "$root/scripts/build.sh" "$root/build-asan" -DCMAKE_BUILD_TYPE=Debug \
    -DKELVARO_SANITIZE=ON -DKELVARO_WITH_GUI=OFF -DKELVARO_BENCH=OFF
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir "$root/build-asan" --output-on-failure -j "$(nproc)" -L unit --timeout 900 || status=$?
  if [ -x "$root/scripts/fuzz.sh" ]; then
    "$root/scripts/fuzz.sh" || status=$?
  fi
fi
exit $status
