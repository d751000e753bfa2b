#!/usr/bin/env bash
# Builds Velumora in release mode and prints its speed and memory figures:
# the Google Benchmark micro-benchmarks, then one table of whole-program
# figures measured on the real executable, each beside its goal.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
. "$here/tools/ensure-packages.sh"
ensure_packages "${BUILD_PACKAGES[@]}" libbenchmark-dev python3
build="$here/build-bench"
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELUMORA_TESTS=OFF \
  -DVELUMORA_BENCHMARKS=ON >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
if [ -x "$build/velumora_bench" ]; then
  (cd "$build" && SDL_AUDIODRIVER=dummy ./velumora_bench --benchmark_min_time=0.2)
fi
echo
python3 "$here/bench/measure.py" "$build"
