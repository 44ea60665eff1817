#!/usr/bin/env bash
# Runs ctest in the build tree with a persistent wineserver of the tree's own prefix, and
# stops that server whatever happens. Expects a display (tools/test.sh runs it under Xvfb).
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
trap qv_wine_stop EXIT
qv_wine_start
cd "$build"
ctest --output-on-failure --timeout "${QV_TEST_TIMEOUT:-600}" "$@"
