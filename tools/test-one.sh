#!/usr/bin/env bash
# Builds one test executable and runs it, or the tests of it that a gtest filter names, under
# Wine and Xvfb, through ctest: the same definitions (environment, working folder) as the suite.
#   bash tools/test-one.sh net_tests                        every test of net_tests.exe
#   bash tools/test-one.sh net_tests 'HTTPSession.*'        the tests the filter names
#   bash tools/test-one.sh net_tests '*' --gtest_repeat=20  further --gtest_ flags go to the program
# ctest passes no arguments to a test: the filter and the flags reach gtest as its GTEST_
# variables. A test that ctest runs with a filter of its own (shell_tests_no_sound) keeps that
# filter, and runs when it shares a test with the given one.
set -euo pipefail
if [ $# -lt 1 ]; then
    echo "usage: tools/test-one.sh <test executable> [gtest filter] [--gtest_ flags...]" >&2
    exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
if [ -z "${QV_UNDER_XVFB:-}" ]; then
    exec env QV_UNDER_XVFB=1 xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@" </dev/null
fi
source "$root/tools/wine-env.sh"
name=$1
shift
filter=""
if [ $# -gt 0 ] && [ "${1#--}" = "$1" ]; then
    filter=$1
    shift
fi
gtest_env=()
for arg in "$@"; do
    case $arg in
    --gtest_filter=*) filter=${arg#*=} ;;
    --gtest_*=*)
        flag=${arg%%=*}
        flag=${flag#--}
        gtest_env+=("${flag^^}=${arg#*=}")
        ;;
    --gtest_*)
        flag=${arg#--}
        gtest_env+=("${flag^^}=1")
        ;;
    *)
        echo "test-one.sh: only --gtest_ flags reach the program through ctest, not '$arg'" >&2
        exit 2
        ;;
    esac
done
if [ -n "$filter" ]; then gtest_env+=("GTEST_FILTER=$filter"); fi

[ -f "$build/CMakeCache.txt" ] || bash "$root/tools/build.sh"
cmake --build "$build" --target "$name" -j"$(nproc)" >/dev/null

# The tests that ctest runs with the program: name, program and the filter the definition fixes.
definitions=$(cd "$build" && ctest --show-only=json-v1 | python3 -c '
import json, os, sys
program = sys.argv[1] + ".exe"
for test in json.load(sys.stdin)["tests"]:
    command = test.get("command") or []
    paths = [part for part in command if os.path.basename(part) == program]
    if paths:
        fixed = [part.split("=", 1)[1] for part in command if part.startswith("--gtest_filter=")]
        print(test["name"], paths[0], fixed[-1] if fixed else "", sep="\t")
' "$name")
if [ -z "$definitions" ]; then
    echo "test-one.sh: no test of ctest runs $name.exe (ctest -N in $build lists them)" >&2
    exit 2
fi
program=$(head -n1 <<<"$definitions" | cut -f2)

trap qv_wine_stop EXIT
qv_wine_start

# The full names of the program's tests that a gtest filter selects.
listed() {
    wine "$program" --gtest_list_tests --gtest_filter="$1" </dev/null 2>/dev/null | tr -d '\r' |
        awk '/^[^ ]/ { suite = $1 } /^  / { print suite $1 }' | sort
}

selected=()
if [ -n "$filter" ]; then
    wanted=$(listed "$filter")
    if [ -z "$wanted" ]; then
        echo "test-one.sh: no test of $name.exe matches '$filter'" >&2
        exit 1
    fi
fi
while IFS=$'\t' read -r test _ fixed; do
    if [ -n "$filter" ] && [ -n "$fixed" ] && [ -z "$(comm -12 <(echo "$wanted") <(listed "$fixed"))" ]; then
        continue
    fi
    selected+=("$test")
done <<<"$definitions"

names=$(
    IFS='|'
    echo "${selected[*]}"
)
cd "$build"
env "${gtest_env[@]}" ctest --verbose --timeout "${QV_TEST_TIMEOUT:-600}" -R "^($names)\$"
