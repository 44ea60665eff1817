#!/usr/bin/env bash
# Installs what the build needs from Debian's packages. Safe to run again: it skips what is there.
set -euo pipefail

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi

need=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
    updated=0
else
    updated=1
fi

# FreeType is cross-built from Debian's source package (tools/freetype.sh): the source entries
# must be on. The machine's sources are in deb822 form; older ones use sources.list lines.
sources=/etc/apt/sources.list.d/debian.sources
if [ -f "$sources" ]; then
    if ! grep -Eq '^Types:.*deb-src' "$sources"; then
        $SUDO sed -i -E 's/^Types:[[:space:]]*deb[[:space:]]*$/Types: deb deb-src/' "$sources"
        updated=0
    fi
elif [ -f /etc/apt/sources.list ] && ! grep -Eq '^deb-src ' /etc/apt/sources.list; then
    grep -E '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' | $SUDO tee -a /etc/apt/sources.list >/dev/null
    updated=0
fi
if ! ls /var/lib/apt/lists/*_Sources* >/dev/null 2>&1; then
    updated=0
fi

# lz4 and curl are the references of tools/bench.sh; fonts-liberation holds the face that
# the build puts into the updater's resource file, and the tests' other face; fonts-wine holds
# Wine's own faces, without which the title bar's buttons show as letters; x11-apps has xwd for
# the demo's screenshot; strace shows the tests what the updater asks of the disk.
for p in g++-mingw-w64-i686 wine wine32:i386 xvfb xauth googletest cmake make python3 procps dpkg-dev xz-utils clang-format \
    lz4 curl fonts-liberation fonts-wine x11-apps strace; do
    have_pkg "$p" || need+=("$p")
done

if [ "${#need[@]}" -gt 0 ] || [ "$updated" = 0 ]; then
    $SUDO apt-get update -q
fi
if [ "${#need[@]}" -gt 0 ]; then
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${need[@]}"
fi

test -x /usr/bin/i686-w64-mingw32-g++-posix
test -f /usr/src/googletest/CMakeLists.txt
