#!/usr/bin/env bash
# Configures and builds everything into build/ (or $QV_BUILD_DIR) with the i686 mingw-w64 toolchain.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QV_BUILD_DIR:-$root/build}
bash "$root/tools/freetype.sh" "$build" "$root/cmake/mingw-i686.cmake"
# Configure every time: a library folder that appeared since is picked up.
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)"
