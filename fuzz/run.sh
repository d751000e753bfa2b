#!/usr/bin/env bash
# Builds the fuzzers with clang and runs each over a copy of its seed corpus
# for a time budget.
#
#   fuzz/run.sh [seconds per fuzzer] [extra libFuzzer flags...]
#
# Default 60 seconds. Findings are written to build-fuzz/findings/ and make
# the script fail. FUZZ_BUILD_DIR chooses the build folder (one configured
# with -DVELUMORA_FUZZ=ON is used as it is); FUZZ_TARGETS the
# fuzzers (default: all). A fuzzer whose binary is the one of its last pass
# is not run again unless VELUMORA_RETEST=1 or extra flags are given.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
shift $(($# < 1 ? $# : 1))
build="${FUZZ_BUILD_DIR:-$here/build-fuzz}"
targets=(${FUZZ_TARGETS:-playlist_fuzzer sample_fuzzer osc_fuzzer})

# A build folder configured already (test.sh's sanitizer build) is kept as
# it is; a new one gets the fuzzers alone, optimised.
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ -DVELUMORA_FUZZ=ON -DVELUMORA_TESTS=OFF >/dev/null
fi
cmake --build "$build" -j2 --target "${targets[@]}" >/dev/null

findings="$build/findings"
mkdir -p "$findings"
# The sample fuzzer starts from a short tone in every format and layout the
# program reads, made here (no audio is kept in the repository): sox writes
# most, libsndfile's sndfile-convert MP3 and Opus.
sample_seeds() {  # DIR
  command -v sox >/dev/null || return 0
  local rate channels options type
  while read -r rate channels type options; do
    # shellcheck disable=SC2086
    sox -n -r "$rate" -c "$channels" $options "$1/seed-$rate-$channels-${options// /}.$type" \
      synth 0.01 sine 440 2>/dev/null || true
  done <<'SEEDS'
8000 1 wav -b 16
11025 2 wav -b 8
48000 2 wav -b 24
32000 1 wav -e floating-point -b 32
8000 6 wav -b 16
8000 1 wav -e ms-adpcm
8000 1 wav -e ima-adpcm
8000 1 w64 -b 16
22050 1 aiff -b 16
16000 2 aifc -b 24
8000 1 caf -b 16
11025 1 voc -b 8
32000 2 voc -b 16
8000 1 8svx -b 8
8000 1 flac -b 16
16000 2 flac -b 24
8000 4 flac -b 16
8000 1 ogg -C 0
SEEDS
  if command -v sndfile-convert >/dev/null; then
    sox -n -r 8000 -c 1 "$1/seed-lossy.wav" synth 0.05 sine 440 2>/dev/null || return 0
    sndfile-convert "$1/seed-lossy.wav" "$1/seed-8000-1.opus" >/dev/null 2>&1 || true
    sox -n -r 22050 -c 1 "$1/seed-lossy.wav" synth 0.05 sine 440 2>/dev/null || return 0
    sndfile-convert "$1/seed-lossy.wav" "$1/seed-22050-1.mp3" >/dev/null 2>&1 || true
    rm -f "$1/seed-lossy.wav"
  fi
}
# The OSC fuzzer starts from a packet of each kind the player takes: a
# message of every address and argument type, and bundles.
osc_seeds() {  # DIR
  local dir="$1"
  printf '/velumora/pause\0,\0\0\0' >"$dir/seed-pause"
  printf '/velumora/play\0\0,f\0\0\77\200\0\0' >"$dir/seed-play"
  printf '/velumora/volume\0\0\0\0,f\0\0\77\0\0\0' >"$dir/seed-volume"
  printf '/velumora/volume\0\0\0\0,d\0\0\77\340\0\0\0\0\0\0' >"$dir/seed-volume-double"
  printf '/velumora/song/rain/mute\0\0\0\0,i\0\0\0\0\0\1' >"$dir/seed-mute"
  printf '/velumora/song/*/mute\0\0\0,T\0\0' >"$dir/seed-mute-all"
  printf '/velumora/song/{rain,wind}/volume\0\0\0,h\0\0\0\0\0\0\0\0\0\2' \
    >"$dir/seed-volume-songs"
  printf '/velumora/status\0\0\0\0,s\0\0why\0' >"$dir/seed-status"
  printf '/velumora/quit\0\0,\0\0\0' >"$dir/seed-quit"
  printf '#bundle\0\0\0\0\0\0\0\0\1\0\0\0\24/velumora/pause\0,\0\0\0' >"$dir/seed-bundle"
}
# Every fuzzer at once; each one's output is shown when it ends.
fuzz() {  # TARGET [libFuzzer flags...]
  local target="$1"
  shift
  echo "== $target"
  local stamp="$build/$target.passed.sha1"
  if [ "${VELUMORA_RETEST:-0}" = 0 ] && [ $# -eq 0 ] && [ -f "$stamp" ] &&
    sha1sum "$build/$target" | cmp -s - "$stamp"; then
    echo "unchanged since its last pass"
    return 0
  fi
  local corpus="$build/corpus-$target"
  mkdir -p "$corpus"
  local seeds="$here/fuzz/corpus/${target%_fuzzer}"
  [ -d "$seeds" ] && cp -n "$seeds"/* "$corpus"/
  [ "$target" = sample_fuzzer ] && sample_seeds "$corpus"
  [ "$target" = osc_fuzzer ] && osc_seeds "$corpus"
  ASAN_OPTIONS="detect_leaks=1:${ASAN_OPTIONS:-}" \
    LSAN_OPTIONS="suppressions=$here/tools/lsan.supp:${LSAN_OPTIONS:-}" \
    UBSAN_OPTIONS="print_stacktrace=1:${UBSAN_OPTIONS:-}" \
    "$build/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
    -artifact_prefix="$findings/$target-" -print_final_stats=1 "$@" "$corpus" 2>&1 &&
    sha1sum "$build/$target" >"$stamp"
}
pids=()
for target in "${targets[@]}"; do
  fuzz "$target" "$@" >"$build/$target.log" 2>&1 &
  pids+=($!)
done
status=0
for i in "${!targets[@]}"; do
  wait "${pids[$i]}" || status=1
  cat "$build/${targets[$i]}.log"
done
exit "$status"
