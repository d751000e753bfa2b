#!/usr/bin/env bash
# Installs what is missing, builds Velumora in release mode and plays the
# playlist given as argument, or the demo soundscape when none is given.
# Safe to run again: it only installs and rebuilds what is missing or old.
# What it does before playing is told on standard error, and nothing when
# everything is there and built.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$here/build-release"
built="$build/built.stamp"  # touched after each whole build
. "$here/tools/ensure-packages.sh"
ensure_packages "${BUILD_PACKAGES[@]}"
if [ ! -x "$build/velumora" ]; then
  echo "building velumora (first time: about a minute)..." >&2
elif [ ! -f "$built" ] || [ -n "$(find "$here/CMakeLists.txt" "$here"/{app,audio,base,pattern,playlist,tools,demo} \
  -newer "$built" -type f -print -quit)" ]; then
  echo "building velumora..." >&2
fi
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELUMORA_TESTS=OFF >/dev/null
# The default target builds the programs and synthesizes the demo's samples.
cmake --build "$build" -j"$(nproc)" >/dev/null
touch "$built"

# True when SDL has a way to make sound here: a driver chosen by the user,
# an ALSA playback device, or a PulseAudio or PipeWire server.
have_sound_output() {
  [ -n "${SDL_AUDIODRIVER:-}" ] && return 0
  [ -n "${PULSE_SERVER:-}" ] && return 0
  compgen -G '/dev/snd/pcm*p' >/dev/null && return 0
  local runtime="${XDG_RUNTIME_DIR:-/run/user/$(id -u)}"
  [ -S "$runtime/pulse/native" ] || [ -S "$runtime/pipewire-0" ]
}

if ! have_sound_output; then
  {
    echo "no sound device found: playing on SDL's dummy driver (silent)."
    echo "To capture the mix to a file in real time instead, run:"
    echo "  SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=mix.raw SDL_DISKAUDIODELAY=23 $0${*:+ $*}"
    echo "mix.raw is then raw signed 16-bit little-endian stereo at 22050 Hz."
  } >&2
  export SDL_AUDIODRIVER=dummy
fi
# The demo is played from its own directory: a relative capture file stays
# where the user is.
if [ -n "${SDL_DISKAUDIOFILE:-}" ] && [[ "$SDL_DISKAUDIOFILE" != /* ]]; then
  export SDL_DISKAUDIOFILE="$PWD/$SDL_DISKAUDIOFILE"
fi

if [ "$#" -eq 0 ]; then
  # The demo names its samples relative to its own directory.
  cd "$build/demo"
  exec "$build/velumora" playlist.txt
fi
exec "$build/velumora" "$@"
