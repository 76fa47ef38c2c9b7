#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in their own build folder and runs each one for a
# bounded time, seeded from fuzz/seeds/<target>/ or small sample drawings.
#   KELVARO_FUZZ_SECONDS=60   time cap per target
#   KELVARO_FUZZ_RUNS=300000  inputs per target; with the fixed seed a run is repeatable, so what
#                             passed here passes in CI (the time cap only shortens the same run)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir="$root/build-fuzz"
seconds=${KELVARO_FUZZ_SECONDS:-60}
runs=${KELVARO_FUZZ_RUNS:-300000}
if ! command -v clang++-14 >/dev/null; then
  echo "fuzz.sh: clang++-14 not found, fuzzing skipped" >&2
  exit 0
fi
if [ ! -f "$dir/build.ninja" ]; then
  CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKELVARO_FUZZ=ON -DKELVARO_WITH_GUI=OFF -DKELVARO_TESTS=OFF -DKELVARO_BENCH=OFF
fi
cmake --build "$dir" -j "$(nproc)"
shared=${KELVARO_SHARED_DIR:-"$root/../shared"}
status=0
for target in "$dir"/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus="$dir/corpus-$name"
  mkdir -p "$corpus"
  # Seeds: the target's own small files, else sample drawings under 64 KB (DWG ones for the
  # DWG targets).
  pattern='*.dxf'
  case "$name" in fuzz_dwg|fuzz_dwg12|fuzz_dwg2007) pattern='*.dwg' ;; esac
  if [ -d "$root/fuzz/seeds/$name" ]; then
    cp -n "$root/fuzz/seeds/$name"/* "$corpus/" 2>/dev/null || true
  elif [ -d "$shared/corpus" ]; then
    find "$shared/corpus" -iname "$pattern" -size -64k -exec cp -n {} "$corpus/" \; 2>/dev/null || true
  fi
  # Seeds of a target's own (e.g. small SHX fonts).
  if [ -d "$root/fuzz/seeds/$name" ]; then
    cp -n "$root/fuzz/seeds/$name"/* "$corpus/" 2>/dev/null || true
  fi
  echo "== $name: $runs inputs, at most ${seconds}s"
  "$target" "$corpus" -seed=1 -runs="$runs" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$dir/crash-$name-" >"$dir/$name.log" 2>&1 || { status=1; tail -40 "$dir/$name.log"; }
  tail -2 "$dir/$name.log"
done
exit $status
