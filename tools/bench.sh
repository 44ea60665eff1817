#!/usr/bin/env bash
# Builds the benchmark programs, runs each beside its references on the same bytes in the same
# run, and prints one table of figures and ratios. Not a test: a slow figure fails nothing.
#
#   bash tools/bench.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/setup.sh"
bash "$root/tools/build.sh" >/dev/null
source "$root/tools/wine-env.sh"

work=$(mktemp -d "$build/bench.XXXXXX")
finish() {
    qv_wine_stop
    rm -rf "$work"
}
trap finish EXIT
qv_wine_start

# Seconds since the epoch, with nanoseconds.
now() { date +%s.%N; }
calc() { awk "BEGIN { printf \"$1\", $2 }"; }
# The last "<n> MB/s" that a compressor's benchmark mode prints is its decompression speed.
decompression_mbps() { "$@" 2>&1 | tr '\r' '\n' | grep -o '[0-9.]* MB/s' | tail -1 | cut -d' ' -f1; }

# --- engine: decoder and installer -----------------------------------------------------------
(cd "$build/updater/engine" && wine engine_bench.exe "$(winepath -w "$work")" </dev/null) >"$work/engine.txt"
figure() { sed -n "s/^$1=//p" "$work/engine.txt" | tr -d '\r'; }
decoder=$(figure decoder_mbps)
decompress=$(figure decompress_mbps)
memcpy_mbps=$(figure memcpy_mbps)
fresh=$(figure install_fresh_s)
replacing=$(figure install_replace_s)
copyloop=$(figure copyfile_loop_s)
lz4_mbps=$(decompression_mbps lz4 -b1 -i3 "$work/data.bin")
zstd_mbps=$(decompression_mbps zstd -b3 -i3 "$work/data.bin")

cpa=1000
for round in 1 2 3; do
    rm -rf "$work/cp-copy"
    sync
    start=$(now)
    cp -a "$work/install" "$work/cp-copy"
    end=$(now)
    cpa=$(calc "%.3f" "($end - $start) < $cpa ? ($end - $start) : $cpa")
done

# --- table -----------------------------------------------------------------------------------
line() { printf '%-30s %12s   %-28s %12s %8s   %s\n' "$@"; }
verdict() { awk "BEGIN { print ($1) ? \"met\" : \"NOT met\" }"; }
echo
echo "$(figure unpacked_mb) MB unpacked in $(figure files) files, $(figure packed_mb) MB packed"
line "measured" "figure" "reference" "figure" "ratio" "target"
line "decoder, in memory" "$decoder MB/s" "lz4 -b1, in memory" "$lz4_mbps MB/s" \
    "$(calc "%.2f" "$decoder / $lz4_mbps")" ">= 0.50 of lz4: $(verdict "$decoder / $lz4_mbps >= 0.5")"
line "" "" "zstd -b3, in memory" "$zstd_mbps MB/s" "$(calc "%.2f" "$decoder / $zstd_mbps")" ""
line "" "" "memcpy, in process" "$memcpy_mbps MB/s" "$(calc "%.2f" "$decoder / $memcpy_mbps")" ""
line "decompress with allocation" "$decompress MB/s" "lz4 -b1, in memory" "$lz4_mbps MB/s" \
    "$(calc "%.2f" "$decompress / $lz4_mbps")" ""
line "install, fresh" "$fresh s" "CopyFileW loop, Wine" "$copyloop s" "$(calc "%.2fx" "$fresh / $copyloop")" \
    "<= 1.5x the loop: $(verdict "$fresh / $copyloop <= 1.5")"
line "install, replacing" "$replacing s" "CopyFileW loop, Wine" "$copyloop s" \
    "$(calc "%.2fx" "$replacing / $copyloop")" "<= 2.5x the loop: $(verdict "$replacing / $copyloop <= 2.5")"
line "" "" "cp -a, native" "$cpa s" "$(calc "%.2fx" "$replacing / $cpa")" ""
