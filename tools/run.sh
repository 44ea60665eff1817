#!/usr/bin/env bash
# Builds the program. (The updater's own demo run is added once the updater exists.)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/setup.sh"
bash "$root/tools/build.sh"
