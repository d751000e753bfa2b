#!/usr/bin/env bash
# Installs what is missing, builds Velumora and runs every test through CTest.
# Set VELUMORA_SANITIZERS=0 to skip the sanitizer passes.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
cd "$here"
. tools/ensure-packages.sh
ensure_packages "${BUILD_PACKAGES[@]}" googletest libgtest-dev libbenchmark-dev valgrind
# Real sample files and the tools that encode others, a sound server, and
# sdl12-compat, for the end-to-end tests.
ensure_packages alsa-utils sound-theme-freedesktop flac lame pulseaudio pulseaudio-utils \
  libsdl1.2-compat sox vorbis-tools
jobs="$(nproc)"

build() {  # build DIR [cmake options...]
  local dir="$1"
  shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j"$jobs" >/dev/null
}

quiet_ctest() {  # DIR: runs its tests, shows everything only when one fails
  local log="$1/ctest.log"
  if (cd "$1" && ctest --output-on-failure -j"$jobs") >"$log" 2>&1; then
    tail -n 3 "$log"
  else
    cat "$log"
    return 1
  fi
}

if [ "${VELUMORA_SANITIZERS:-1}" != 0 ]; then
  echo "== address and undefined-behaviour sanitizers =="
  build build-asan -DVELUMORA_SANITIZE=address,undefined
  ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS="suppressions=$here/tools/lsan.supp" \
    UBSAN_OPTIONS=print_stacktrace=1 quiet_ctest build-asan
  echo "== thread sanitizer =="
  build build-tsan -DVELUMORA_SANITIZE=thread
  TSAN_OPTIONS="suppressions=$here/tools/tsan.supp halt_on_error=1" quiet_ctest build-tsan
fi

# --- playlist fuzzer: a short run over the seed corpus (fuzz/run.sh) ---
echo "== playlist fuzzer =="
ensure_packages clang libclang-rt-14-dev
fuzz_log="$(mktemp)"
if fuzz/run.sh 30 200000 >"$fuzz_log" 2>&1; then
  grep -E '^(Done|stat::(number_of_executed_units|average_exec_per_sec))' "$fuzz_log" || true
  rm -f "$fuzz_log"
else
  cat "$fuzz_log"
  rm -f "$fuzz_log"
  exit 1
fi
# --- end of playlist fuzzer ---

echo "== tests =="
build build -DVELUMORA_BENCHMARKS=ON
cd build
ctest --output-on-failure -j"$jobs"
