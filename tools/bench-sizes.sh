#!/usr/bin/env bash
# The size sweep, not a test: updates of the same 1,101 files whose few large files grow, fresh
# through QVUpdater.exe up to the product's start (timed from outside) in turns with the same
# download (net_bench) and fresh install (engine_bench) in process, and a program's start.
# Leaves its samples in QV_BENCH_WORK, one file per size (tools/bench.sh fits lines to them);
# alone it prints them.
#
#   bash tools/bench-sizes.sh
#
# QV_BENCH_SIZES: the large files' factors (default "0.1 0.8 1.5 2.2": about 14 to 95 MB packed at
# QV_BENCH_SCALE 1); QV_BENCH_ROUNDS (at least 5) sets the turns; QV_BENCH_DIR (default the
# build tree) is where the installations go.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/bench/start.sh"
rounds=${QV_BENCH_ROUNDS:-5}
[ "$rounds" -ge 5 ] || rounds=5
read -r -a factors <<<"${QV_BENCH_SIZES:-0.1 0.8 1.5 2.2}"
bench="$build/bench"
keep=${QV_BENCH_WORK:-}
work=${keep:-$(mktemp -d "${QV_BENCH_DIR:-$build}/bench-sizes.XXXXXX")}
mkdir -p "$work"
finish() {
    stop_runs
    rm -rf "$work"/size*/once "$work"/size*/e2e "$work"/size*/*.qvu "$work/product"
    if [ -z "$keep" ]; then rm -rf "$work"; fi
}
trap finish EXIT
start_runs
write_facts
mkdir -p "$work/product/Resources"
cp "$product" "$work/product/QUORVEL.EXE"
cp "$work/system.vsf" "$work/product/Resources/"

for k in "${!factors[@]}"; do
    mkdir -p "$work/size$k"
    (cd "$bench" && pinned wine engine_bench.exe sizes "Z:$work/size$k" "$(winepath -w "$product")" "${factors[$k]}" \
        </dev/null) | tr -d '\r' >"$work/size$k/figures.txt"
done

# On a disk the next run's first flush (the installer's journal) would wait for the removal of
# the last run's files, and for their writing: both are done before the next run starts.
clear_away() { # <folder>
    rm -rf "$1"
    sync -f "$work"
}
# One turn of a size: the in-process download and install, the program, a program's start; every
# other turn backwards.
in_process() { # <size folder>
    local out
    out=$( (cd "$bench" && pinned wine engine_bench.exe once "Z:$1/quiet.qvu" "Z:$1/once" </dev/null) | tr -d '\r')
    clear_away "$1/once"
    add_sample "$1/figures.txt" install_fresh_s "$(sed -n 's/^install_fresh_s=//p' <<<"$out")"
    (cd "$bench" && pinned env QV_BENCH_ROUNDS=1 wine net_bench.exe "$(stat -c %s "$1/update.qvu")" "$net_port" \
        </dev/null) | tr -d '\r' >"$work/turn.txt" || { cat "$work/turn.txt" >&2; exit 1; }
    add_sample "$1/figures.txt" download_s "$(samples "$work/turn.txt" download_s)"
}
through_program() { # <size folder>
    lay_out "$1/e2e"
    run_updater "$1/e2e" "$1/figures.txt" fresh
    clear_away "$1/e2e"
}
program_start() { # <size folder>
    product_gone
    rm -f "$work/product/QuorvelRuns.log"
    python3 "$root/bench/time_updater.py" start "$work/product" QUORVEL.EXE QuorvelRuns.log >"$work/run.txt" ||
        { cat "$work/run.txt" >&2; exit 1; }
    add_sample "$1/figures.txt" program_start_s "$(samples "$work/run.txt" start_s)"
}
for round in $(seq "$rounds"); do
    for k in "${!factors[@]}"; do
        size="$work/size$k"
        serve "$size/update.qvu"
        if [ $((round % 2)) = 1 ]; then in_process "$size"; fi
        through_program "$size"
        program_start "$size"
        if [ $((round % 2)) = 0 ]; then in_process "$size"; fi
    done
done
stop_server
product_gone
if [ -z "$keep" ]; then
    for statistic in min median; do python3 "$root/bench/fit_sizes.py" "$work" "$statistic"; done
fi
