#!/usr/bin/env bash
# Installs what is missing, builds Velumora in release mode and plays the
# playlist given as argument (or ./playlist.txt).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/tools/ensure-packages.sh"
ensure_packages "${BUILD_PACKAGES[@]}"
cmake -S "$here" -B "$here/build-release" -DCMAKE_BUILD_TYPE=Release -DVELUMORA_TESTS=OFF >/dev/null
cmake --build "$here/build-release" -j"$(nproc)" >/dev/null
exec "$here/build-release/velumora" "$@"
