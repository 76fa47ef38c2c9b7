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
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
# GL tests need a real X server; everything else runs offscreen inside the same session.
xvfb-run -a -s "-screen 0 1280x1024x24" \
  ctest --test-dir "$root/build" --output-on-failure -j "$(nproc)" --timeout 600 2>&1 | tee "$logs/main.log" || status=$?

if [ "${KELVARO_QUICK:-0}" != 1 ]; then
  # The plain libraries and their unit tests once more under AddressSanitizer + UBSan.
  "$root/scripts/build.sh" "$root/build-asan" -DCMAKE_BUILD_TYPE=Debug \
    -DKELVARO_SANITIZE=ON -DKELVARO_WITH_GUI=OFF -DKELVARO_BENCH=OFF
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir "$root/build-asan" --output-on-failure -j "$(nproc)" -L unit --timeout 900 2>&1 | tee "$logs/asan.log" || status=$?
  if [ -x "$root/scripts/fuzz.sh" ]; then
    if "$root/scripts/fuzz.sh"; then echo "fuzz 1 0" >"$logs/fuzz.count"; else status=1; echo "fuzz 0 1" >"$logs/fuzz.count"; fi
  fi
fi

# One closing line over every run: ctest's own totals, plus the fuzzing run as one check.
passed=0
failed=0
for f in "$logs"/*.log; do
  line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$f" | tail -n 1 || true)
  if [ -z "$line" ]; then failed=$((failed + 1)); status=1; continue; fi
  total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
  bad=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
  passed=$((passed + total - bad))
  failed=$((failed + bad))
done
if [ -f "$logs/fuzz.count" ]; then
  read -r _ p f <"$logs/fuzz.count"
  passed=$((passed + p))
  failed=$((failed + f))
fi
echo
echo "kelvaro: $passed passed, $failed failed"
exit $status
