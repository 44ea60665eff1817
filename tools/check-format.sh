#!/usr/bin/env bash
# Checks that every tracked C++ file is formatted with the repository's .clang-format; lists the
# files that are not and fails. `clang-format -i <file>` mends one.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
format=${QV_CLANG_FORMAT:-clang-format}
if ! command -v "$format" >/dev/null; then
    echo "$format is not installed: run tools/setup.sh" >&2
    exit 1
fi
unformatted=$(git ls-files -z '*.cpp' '*.h' |
    xargs -0 -r -P"$(nproc)" -n1 sh -c '"$0" --dry-run --Werror "$1" >/dev/null 2>&1 || echo "$1"' "$format" | sort)
if [ -n "$unformatted" ]; then
    echo "Not formatted with .clang-format (run: $format -i <file>):" >&2
    echo "$unformatted" >&2
    exit 1
fi
