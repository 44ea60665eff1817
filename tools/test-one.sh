#!/usr/bin/env bash
# Builds one test executable and runs it, or the tests of it that a gtest filter names, under
# Wine and Xvfb, with the environment ctest gives it:
#   bash tools/test-one.sh net_tests                        every test of net_tests.exe
#   bash tools/test-one.sh net_tests 'HTTPSession.*'        the tests the filter names
#   bash tools/test-one.sh net_tests '*' --gtest_repeat=20  further arguments go to the program
set -euo pipefail
if [ $# -lt 1 ]; then
    echo "usage: tools/test-one.sh <test executable> [gtest filter] [arguments...]" >&2
    exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
if [ -z "${QV_UNDER_XVFB:-}" ]; then
    exec env QV_UNDER_XVFB=1 xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@" </dev/null
fi
source "$root/tools/wine-env.sh"
name=$1
filter=${2:-*}
shift $(($# < 2 ? $# : 2))
[ -f "$build/CMakeCache.txt" ] || bash "$root/tools/build.sh"
cmake --build "$build" --target "$name" -j"$(nproc)" >/dev/null
program=$(find "$build" -path "$build/wineprefix" -prune -o -name "$name.exe" -print | head -n1)
if [ -z "$program" ]; then
    echo "no $name.exe in $build" >&2
    exit 2
fi
trap qv_wine_stop EXIT
qv_wine_start
cd "$(dirname "$program")"
wine "./$name.exe" --gtest_filter="$filter" "$@"
