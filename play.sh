#!/usr/bin/env bash
# Installs what is missing, builds Velumora in release mode and plays the
# playlist given as argument, or the demo soundscape when none is given.
# Safe to run again: it only installs and rebuilds what is missing or old.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$here/build-release"
. "$here/tools/ensure-packages.sh"
ensure_packages "${BUILD_PACKAGES[@]}"
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELUMORA_TESTS=OFF >/dev/null
# The default target builds the programs and synthesizes the demo's samples.
cmake --build "$build" -j"$(nproc)" >/dev/null

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
  echo "no sound device found: playing on SDL's dummy driver (silent);" \
    "set SDL_AUDIODRIVER=disk to capture the mix to a file" >&2
  export SDL_AUDIODRIVER=dummy
fi

if [ "$#" -eq 0 ]; then
  # The demo names its samples relative to its own directory.
  cd "$build/demo"
  exec "$build/velumora" playlist.txt
fi
exec "$build/velumora" "$@"
