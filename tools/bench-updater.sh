#!/usr/bin/env bash
# The updater's own benchmark, not a test: one update of about 100 MB in 1,000 files through the
# real QVUpdater.exe (updater_bench), beside engine_bench's decoder and installer on the same
# files and net_bench's download of as many bytes as the update archive holds, in one run.
#
#   bash tools/bench-updater.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/setup.sh"
bash "$root/tools/build.sh" >/dev/null
if [ -z "${DISPLAY:-}" ] && [ "${QV_BENCH_INNER:-}" != 1 ]; then
    exec env QV_BENCH_INNER=1 xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@" </dev/null
fi
source "$root/tools/wine-env.sh"
work=$(mktemp -d "$build/bench-updater.XXXXXX")
finish() {
    qv_wine_stop
    rm -rf "$work"
}
trap finish EXIT
qv_wine_start

(cd "$build/updater/engine" && wine engine_bench.exe "$(winepath -w "$work")" </dev/null) | tr -d '\r' >"$work/engine.txt"
(cd "$build/updater/app" && wine updater_bench.exe "$(winepath -w "$work/install")" </dev/null) | tr -d '\r' >"$work/updater.txt"
value() { sed -n "s/^$2=//p" "$work/$1.txt"; }
packed_bytes=$(awk "BEGIN { printf \"%d\", $(value updater packed_mb) * 1000000 }")
(cd "$build/net/bench" && wine net_bench.exe "$packed_bytes" </dev/null) | tr -d '\r' >"$work/net.txt"
net_mbps=$(awk "BEGIN { printf \"%.1f\", $(value net download_mb) / $(value net download_s) }")

echo
echo "$(value updater files) files, $(value updater unpacked_mb) MB unpacked, $(value updater packed_mb) MB packed"
printf '%-44s %s\n' "QVUpdater.exe: start-up to the request" "$(value updater startup_s) s"
printf '%-44s %s\n' "QVUpdater.exe: request to file received" \
    "$(value updater received_s) s, $(value updater received_mbps) MB/s"
printf '%-44s %s\n' "net_bench: download of as many bytes" "$(value net download_s) s, $net_mbps MB/s"
printf '%-44s %s\n' "QVUpdater.exe: installation (unpack + files)" \
    "$(value updater install_s) s, $(value updater install_mbps) MB/s of unpacked data"
printf '%-44s %s\n' "engine_bench: decoder" "$(value engine decoder_mbps) MB/s"
printf '%-44s %s\n' "engine_bench: installation, fresh" "$(value engine install_fresh_s) s"
printf '%-44s %s\n' "engine_bench: installation, replacing" "$(value engine install_replace_s) s"
