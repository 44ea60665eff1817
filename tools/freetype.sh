#!/usr/bin/env bash
# Cross-builds FreeType once into the build tree from Debian's freetype source package, as a
# static library without optional dependencies (no zlib, bzip2, png, harfbuzz or brotli).
# Usage: freetype.sh <build dir> <toolchain file>. Needs the deb-src entries (tools/setup.sh).
set -euo pipefail
build=$1
toolchain=$2
out=$build/freetype
lib=$out/install/lib/libfreetype.a
if [ -f "$lib" ]; then
    exit 0
fi

mkdir -p "$out/src"
src=$(find "$out/src" -maxdepth 2 -name CMakeLists.txt -path '*/freetype-*/CMakeLists.txt' -print -quit)
if [ -z "$src" ]; then
    (cd "$out/src" && apt-get source -q --only-source freetype </dev/null >"$out/source.log" 2>&1)
    src=$(find "$out/src" -maxdepth 2 -name CMakeLists.txt -path '*/freetype-*/CMakeLists.txt' -print -quit)
fi
if [ -z "$src" ]; then
    echo "freetype.sh: no FreeType source found after apt-get source" >&2
    exit 1
fi

cmake -S "$(dirname "$src")" -B "$out/build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF -DCMAKE_INSTALL_PREFIX="$out/install" \
    -DCMAKE_C_FLAGS="-msse2 -mfpmath=sse" \
    -DFT_DISABLE_ZLIB=ON -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON \
    -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON >"$out/configure.log" 2>&1
cmake --build "$out/build" -j"$(nproc)" >"$out/build.log" 2>&1
cmake --install "$out/build" >"$out/install.log" 2>&1
test -f "$lib"
