#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test under Wine and Xvfb.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/setup.sh"
bash "$root/tools/build.sh"
source "$root/tools/wine-env.sh"
trap qv_wine_stop EXIT
qv_wine_start
cd "$build"
xvfb-run -a -s "-screen 0 1280x1024x24" \
    ctest --output-on-failure --timeout "${QV_TEST_TIMEOUT:-600}" "$@" </dev/null
