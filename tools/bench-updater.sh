#!/usr/bin/env bash
# The updater's own benchmark, not a test: an update with the sizes of a real installation,
# fresh and replacing, through the real QVUpdater.exe, the start of the product it brings
# included, timed from outside; in turns with them engine_bench's installer on the same files and
# net_bench's download of as many bytes; and the peak memory of a large compressible
# update. Prints the phases; leaves its figures in QV_BENCH_WORK when that names a folder
# (tools/bench.sh makes its table of them).
#
#   bash tools/bench-updater.sh
#
# QV_BENCH_SCALE (default 1) scales the updates, QV_BENCH_ROUNDS (at least 5) sets the turns and
# QV_BENCH_DIR (default the build tree) is where the installations go.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/bench/start.sh"
scale=${QV_BENCH_SCALE:-1}
rounds=${QV_BENCH_ROUNDS:-5}
[ "$rounds" -ge 5 ] || rounds=5
bench="$build/bench"
keep=${QV_BENCH_WORK:-}
work=${keep:-$(mktemp -d "${QV_BENCH_DIR:-$build}/bench-updater.XXXXXX")}
finish() {
    stop_runs
    if [ -z "$keep" ]; then rm -rf "$work"; fi
}
trap finish EXIT
start_runs

# --- in process, one turn at a time between the runs through QVUpdater.exe --------------------
# Each turn installs fresh and replacing beside the bare loops (engine_bench) and downloads the
# update's bytes beside the fresh-memory floor (net_bench); the first also leaves update.qvu.
: >"$work/engine.txt"
: >"$work/net.txt"
turn=0
in_process_turn() {
    turn=$((turn + 1))
    export QV_BENCH_TURN=$turn
    (cd "$bench" && pinned env QV_BENCH_ROUNDS=1 wine engine_bench.exe "Z:$work" "$(winepath -w "$product")" </dev/null) |
        tr -d '\r' >"$work/turn.txt" || { cat "$work/turn.txt" >&2; exit 1; }
    merge_turn "$work/engine.txt" "$work/turn.txt" install_fresh_s bare_fresh_s copyfile_fresh_s install_replace_s \
        bare_replace_s copyfile_replace_s
    (cd "$bench" && pinned env QV_BENCH_ROUNDS=1 wine net_bench.exe "$(stat -c %s "$work/update.qvu")" "$net_port" </dev/null) |
        tr -d '\r' >"$work/turn.txt" || { cat "$work/turn.txt" >&2; exit 1; }
    merge_turn "$work/net.txt" "$work/turn.txt" download_s bare_recv_fresh_s longest_poll_ms body_memory_ratio
    unset QV_BENCH_TURN
}
in_process_turn

# --- through QVUpdater.exe, timed from outside -----------------------------------------------
write_facts
# The start of a program, which the updater pays twice (its own and the product's) and the
# in-process figures never: the product started from outside, to its marker.
mkdir -p "$work/product/Resources"
cp "$product" "$work/product/QUORVEL.EXE"
cp "$work/system.vsf" "$work/product/Resources/"
time_start() {
    product_gone
    rm -f "$work/product/QuorvelRuns.log"
    python3 "$root/bench/time_updater.py" start "$work/product" QUORVEL.EXE QuorvelRuns.log >"$work/run.txt" ||
        { cat "$work/run.txt" >&2; exit 1; }
    add_sample "$work/e2e.txt" program_start_s "$(samples "$work/run.txt" start_s)"
}
serve "$work/update.qvu"
: >"$work/e2e.txt"
lay_out "$work/e2e-replacing"
run_updater "$work/e2e-replacing" "$work/e2e-first.txt" first
fresh_run() {
    lay_out "$work/e2e-fresh$1"
    run_updater "$work/e2e-fresh$1" "$work/e2e.txt" fresh
    rm -rf "$work/e2e-fresh$1"
}
# Every other turn backwards, as the benchmark programs do.
for round in $(seq "$rounds"); do
    if [ $((round % 2)) = 1 ]; then fresh_run "$round"; fi
    run_updater "$work/e2e-replacing" "$work/e2e.txt" replacing
    if [ $((round % 2)) = 0 ]; then fresh_run "$round"; fi
    time_start
    if [ "$round" -lt "$rounds" ]; then in_process_turn; fi
done
product_gone

# --- peak memory of a large compressible update through QVUpdater.exe ------------------------
memory_mb=$(calc "%d" "400 * $scale")
(cd "$bench" && pinned wine engine_bench.exe pack "Z:$work/large.qvu" "$(winepath -w "$product")" "$memory_mb" </dev/null) |
    tr -d '\r' >"$work/memory.txt"
serve "$work/large.qvu"
lay_out "$work/large"
: >"$work/large.txt"
run_updater "$work/large" "$work/large.txt" large
stop_server
product_gone
add_sample "$work/memory.txt" peak_mib "$(samples "$work/large.txt" large_peak_mib)"
add_sample "$work/memory.txt" packed_mib "$(calc "%.1f" "$(stat -c %s "$work/large.qvu") / 1048576")"
rm -rf "$work/large" "$work/large.qvu" "$work/e2e-replacing" "$work/product"

e() { samples "$work/engine.txt" "$1"; }
x() { samples "$work/e2e.txt" "$1"; }
echo
echo "$(e files) files ($(e small_files) under 4 KB), $(e unpacked_mb) MB unpacked, $(e packed_mb) MB packed;" \
    "$rounds turns each"
printf '%-52s %8s %8s\n' "seconds" "min" "median"
for kind in fresh replacing; do
    sample_row "QVUpdater.exe $kind, up to the product's start" "$(x ${kind}_total_s)"
    sample_row "  start-up to the request" "$(x ${kind}_startup_s)"
    sample_row "  to the first .tmp: download, unpacking, checks" "$(x ${kind}_receive_s)"
    sample_row "  the files and the product's start" "$(x ${kind}_files_s)"
done
sample_row "a program's start (the product's, from outside)" "$(x program_start_s)"
sample_row "net_bench: download of the same bytes" "$(samples "$work/net.txt" download_s)"
sample_row "engine_bench: fresh install" "$(e install_fresh_s)"
sample_row "engine_bench: replacing install" "$(e install_replace_s)"
echo "peak resident memory of QVUpdater.exe: $(samples "$work/memory.txt" peak_mib) MiB for an update of" \
    "$(samples "$work/memory.txt" unpacked_mb) MB unpacked, $(samples "$work/memory.txt" packed_mb) MB packed"
