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
server_pid=""
finish() {
    if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; fi
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
# A "name=value" line of a benchmark's output.
figure() { sed -n "s/^$2=//p" "$1" | tr -d '\r'; }

# --- engine: decoder and installer -----------------------------------------------------------
(cd "$build/updater/engine" && wine engine_bench.exe "$(winepath -w "$work")" </dev/null) >"$work/engine.txt"
e() { figure "$work/engine.txt" "$1"; }
decoder=$(e decoder_mbps)
decompress=$(e decompress_mbps)
memcpy_mbps=$(e memcpy_mbps)
fresh=$(e install_fresh_s)
replacing=$(e install_replace_s)
copyloop=$(e copyfile_loop_s)
moveloop=$(e movefile_loop_s)
deleteloop=$(e deletefile_loop_s)
rightsloop=$(e rights_calls_loop_s)
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

# --- download --------------------------------------------------------------------------------
(cd "$build/net/bench" && wine net_bench.exe </dev/null) >"$work/net.txt"
n() { figure "$work/net.txt" "$1"; }
download=$(n download_s)
download_mb=$(n download_mb)
python3 "$build/net/bench/http_server.py" "$work/server.txt" >/dev/null 2>&1 &
for i in $(seq 100); do [ -s "$work/server.txt" ] && break; sleep 0.05; done
read -r server_pid port <"$work/server.txt"
curl_s=1000
bytes=$(calc "%.0f" "$download_mb * 1000000")
for round in 1 2 3; do
    out=$(curl -s -o /dev/null -w '%{time_total} %{size_download}' "http://127.0.0.1:$port/bytes/$bytes")
    read -r t got <<<"$out"
    if [ "$got" != "$bytes" ]; then
        echo "curl received $got of $bytes bytes" >&2
        exit 1
    fi
    curl_s=$(calc "%.3f" "$t < $curl_s ? $t : $curl_s")
done
kill "$server_pid"
server_pid=""

# --- table -----------------------------------------------------------------------------------
line() { printf '%-30s %12s   %-30s %12s %8s   %s\n' "$@"; }
verdict() { awk "BEGIN { print ($1) ? \"met\" : \"NOT met\" }"; }
echo
echo "$(e unpacked_mb) MB unpacked in $(e files) files, $(e packed_mb) MB packed; download of $download_mb MB"
line "measured" "figure" "reference" "figure" "ratio" "target"
line "decoder, in memory" "$decoder MB/s" "lz4 -b1, in memory" "$lz4_mbps MB/s" \
    "$(calc "%.2f" "$decoder / $lz4_mbps")" ">= 0.50 of lz4: $(verdict "$decoder / $lz4_mbps >= 0.5")"
line "" "" "zstd -b3, in memory" "$zstd_mbps MB/s" "$(calc "%.2f" "$decoder / $zstd_mbps")" ""
line "" "" "memcpy, in process" "$memcpy_mbps MB/s" "$(calc "%.2f" "$decoder / $memcpy_mbps")" ""
line "decompress with allocation" "$decompress MB/s" "lz4 -b1, in memory" "$lz4_mbps MB/s" \
    "$(calc "%.2f" "$decompress / $lz4_mbps")" ""
line "download, in process" "$download s" "curl to /dev/null" "$curl_s s" "$(calc "%.2fx" "$download / $curl_s")" \
    "<= 2x curl's time: $(verdict "$download / $curl_s <= 2")"
line "" "" "bare reads, fresh block, Wine" "$(n bare_recv_fresh_s) s" \
    "$(calc "%.2fx" "$download / $(n bare_recv_fresh_s)")" "(the body must land in fresh memory)"
line "" "" "bare reads, warm block, Wine" "$(n bare_recv_warm_s) s" \
    "$(calc "%.2fx" "$download / $(n bare_recv_warm_s)")" ""
line "  longest poll" "$(n longest_poll_ms) ms" "" "" "" "about 10 ms"
line "  memory committed for it" "$(n body_memory_ratio)x" "" "" "" \
    "<= 1.1x the body: $(verdict "$(n body_memory_ratio) <= 1.1")"
line "install, fresh" "$fresh s" "CopyFileW loop, Wine" "$copyloop s" "$(calc "%.2fx" "$fresh / $copyloop")" \
    "<= 1.5x the loop: $(verdict "$fresh / $copyloop <= 1.5")"
line "install, replacing" "$replacing s" "CopyFileW loop, Wine" "$copyloop s" \
    "$(calc "%.2fx" "$replacing / $copyloop")" "<= 2.5x the loop: $(verdict "$replacing / $copyloop <= 2.5")"
line "" "" "cp -a, native" "$cpa s" "$(calc "%.2fx" "$replacing / $cpa")" ""
line "" "" "MoveFileW loop, Wine" "$moveloop s" "" "(each file is moved in once, and kept aside once when replacing)"
line "" "" "DeleteFileW loop, Wine" "$deleteloop s" "" "(each kept file is deleted when replacing)"
line "" "" "rights-check calls loop, Wine" "$rightsloop s" "" "(each file to be replaced is checked)"
# The bare file operations that an installation cannot do without: its floor under Wine.
fresh_floor=$(calc "%.3f" "$copyloop + $moveloop")
replace_floor=$(calc "%.3f" "$copyloop + 2 * $moveloop + $deleteloop + $rightsloop")
line "install, fresh" "$fresh s" "copy + move loops" "$fresh_floor s" "$(calc "%.2fx" "$fresh / $fresh_floor")" ""
line "install, replacing" "$replacing s" "copy, 2 move, delete, rights" "$replace_floor s" \
    "$(calc "%.2fx" "$replacing / $replace_floor")" ""
echo
echo "where the installer's time goes (seconds per step):"
echo "  fresh:     $(e install_fresh_steps)"
echo "  replacing: $(e install_replace_steps)"
