#!/usr/bin/env bash
# Installs what is missing, builds Velumora and runs every test: the main
# build (unit and end-to-end tests, sdl12-compat, valgrind), then the
# address/undefined-behaviour and thread sanitizer builds, then a short run
# of each fuzzer. A sanitizer or fuzz stage whose binaries are the same as at
# its last pass here is not run again (VELUMORA_RETEST=1 runs it anyway);
# a fresh clone runs everything. VELUMORA_SANITIZERS=0 skips those stages.
# Last, the Debian package is built, installed into a temporary root and run.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
cd "$here"
. tools/ensure-packages.sh
# llvm brings llvm-symbolizer, which the sanitizers' reports need for
# function names; dpkg-buildpackage wants build-essential beside the
# package's own build dependencies. The control tests send OSC with
# oscsend (liblo-tools) and reach the player through playerctl on a session
# bus of their own (dbus-daemon).
ensure_packages "${BUILD_PACKAGES[@]}" googletest libgtest-dev libbenchmark-dev valgrind \
  alsa-utils pulseaudio pulseaudio-utils libsdl1.2-compat clang libclang-rt-14-dev llvm \
  mandoc build-essential dpkg-dev debhelper sndfile-programs sox ninja-build \
  clang-format liblo-tools playerctl dbus-daemon
jobs="$(nproc)"
# Most tests wait on the mix in real time and use little of a processor: two
# at a time per core keeps them at their pace and halves the wait.
test_jobs=$((2 * jobs))
stage() { echo "== $* (at ${SECONDS} s)"; }

stage format
# Every source as .clang-format lays it out (outside a git checkout, as the
# package stage runs, every source below here).
if git rev-parse --git-dir >/dev/null 2>&1; then
  git ls-files -z '*.cpp' '*.h' '*.c'
else
  find . -path ./build\* -prune -o \( -name '*.cpp' -o -name '*.h' -o -name '*.c' \) -print0
fi | xargs -0 clang-format --dry-run --Werror

build() {  # build DIR [cmake options...]
  local dir="$1"
  shift
  # A folder made by another generator cannot be reconfigured for Ninja.
  if [ -f "$dir/CMakeCache.txt" ] && ! grep -q '^CMAKE_GENERATOR:INTERNAL=Ninja$' "$dir/CMakeCache.txt"; then
    rm -rf "$dir"
  fi
  # Line tables are debug information enough for the sanitizers' reports and
  # a backtrace, and compile in two thirds of the time of full -g.
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DCMAKE_CXX_FLAGS_DEBUG="-O0 -g1" \
    "$@" >/dev/null
  cmake --build "$dir" -j"$jobs" >/dev/null
}

# True when the stage's binaries are those of its last pass.
unchanged() {  # STAMP FILES...
  local stamp="$1"
  shift
  [ "${VELUMORA_RETEST:-0}" = 0 ] && [ -f "$stamp" ] && sha1sum "$@" | cmp -s - "$stamp"
}

quiet_ctest() {  # DIR: runs its tests, shows everything only when one fails
  local dir="$1" log="$1/ctest.log" stamp="$1/passed.sha1"
  local binaries=("$dir"/velumora "$dir"/velumora-render "$dir"/velumora-check "$dir"/velumora_tests)
  if unchanged "$stamp" "${binaries[@]}"; then
    echo "unchanged since its last pass"
    return 0
  fi
  if (cd "$dir" && ctest --output-on-failure -j"$test_jobs") >"$log" 2>&1; then
    tail -n 3 "$log"
    sha1sum "${binaries[@]}" >"$stamp"
  else
    cat "$log"
    return 1
  fi
}

stage tests
build build -DVELUMORA_BENCHMARKS=ON
(cd build && ctest --output-on-failure -j"$test_jobs" -LE deb)

if [ "${VELUMORA_SANITIZERS:-1}" != 0 ]; then
  stage address and undefined-behaviour sanitizers
  # Built with clang and the fuzzers' instrumentation: the fuzz stage below
  # links the same library.
  build build-asan -DCMAKE_CXX_COMPILER=clang++ -DVELUMORA_FUZZ=ON \
    -DVELUMORA_SANITIZE=address,undefined -DCMAKE_BUILD_TYPE=Debug
  ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1 LSAN_OPTIONS="suppressions=$here/tools/lsan.supp" \
    UBSAN_OPTIONS=print_stacktrace=1 quiet_ctest build-asan
  stage thread sanitizer
  # -O1, as the thread sanitizer's own documentation advises: a third less
  # to compile than -O2, and the tests it runs wait on the mix in real time.
  build build-tsan -DVELUMORA_SANITIZE=thread -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG"
  TSAN_OPTIONS="suppressions=$here/tools/tsan.supp halt_on_error=1" quiet_ctest build-tsan

  stage fuzzers
  fuzz_log="$(mktemp)"
  if FUZZ_BUILD_DIR="$here/build-asan" fuzz/run.sh 15 >"$fuzz_log" 2>&1; then
    grep -E '^(== |Done|unchanged)' "$fuzz_log" || true
  else
    cat "$fuzz_log"
    rm -f "$fuzz_log"
    exit 1
  fi
  rm -f "$fuzz_log"
fi

stage Debian package
# Built from the sources alone: skipped when they are those of its last pass.
# Outside a git checkout (a tree from a tarball, or no git) it always runs.
sources_sum=""
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  sources_sum="$(git ls-files -z | xargs -0 sha1sum 2>/dev/null | sha1sum)"
fi
if [ -n "$sources_sum" ] && [ "${VELUMORA_RETEST:-0}" = 0 ] && [ -f build/deb.passed.sha1 ] &&
  [ "$(cat build/deb.passed.sha1)" = "$sources_sum" ]; then
  echo "unchanged since its last pass"
else
  (cd build && ctest --output-on-failure -L deb)
  [ -z "$sources_sum" ] || echo "$sources_sum" >build/deb.passed.sha1
fi
echo "== all passed in ${SECONDS} s"
