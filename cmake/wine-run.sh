#!/usr/bin/env bash
# Runs one program of the build under Wine in the build tree's prefix, for a build step:
#   wine-run.sh <build dir> <program.exe> [arguments...]
# Steps of a parallel build take turns: each finds the prefix's server up (or starts it) and runs
# its program before the next one starts. The server ends by itself once the build stops using it,
# so a build leaves no Wine process behind; the test scripts' qv_wine_start replaces it.
set -euo pipefail
export QV_BUILD_DIR=$1
shift
source "$(dirname "${BASH_SOURCE[0]}")/../tools/wine-env.sh"

step() {
    qv_wine_up 10
    wine "$@"
}
qv_wine_locked step "$@"
