#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test under Wine and Xvfb.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/setup.sh"
bash "$root/tools/build.sh"
# Wine's prefix is first made under the same display the tests use.
xvfb-run -a -s "-screen 0 1280x1024x24" bash "$root/tools/ctest-wine.sh" "$@" </dev/null
