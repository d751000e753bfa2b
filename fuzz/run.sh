#!/usr/bin/env bash
# Builds the playlist fuzzer with clang and runs it over a copy of the seed
# corpus until a time or execution budget is spent, whichever comes first.
#
#   fuzz/run.sh [seconds] [executions] [extra libFuzzer flags...]
#
# Defaults: 60 seconds, no execution limit (0). Findings are written to
# build-fuzz/findings/ and make the script fail. FUZZ_BUILD_DIR chooses the
# build folder; FUZZ_CORPUS_DIR keeps the grown corpus between runs.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
runs="${2:-0}"
shift $(($# < 2 ? $# : 2))
build="${FUZZ_BUILD_DIR:-$here/build-fuzz}"

cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DVELUMORA_FUZZ=ON -DVELUMORA_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target playlist_fuzzer >/dev/null

corpus="${FUZZ_CORPUS_DIR:-$build/corpus}"
findings="$build/findings"
mkdir -p "$corpus" "$findings"
cp -n "$here"/fuzz/corpus/* "$corpus"/

flags=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096
  -artifact_prefix="$findings/" -print_final_stats=1)
[ "$runs" -gt 0 ] && flags+=(-runs="$runs")
ASAN_OPTIONS="detect_leaks=1:${ASAN_OPTIONS:-}" \
  LSAN_OPTIONS="suppressions=$here/tools/lsan.supp:${LSAN_OPTIONS:-}" \
  UBSAN_OPTIONS="print_stacktrace=1:${UBSAN_OPTIONS:-}" \
  "$build/playlist_fuzzer" "${flags[@]}" "$@" "$corpus"
