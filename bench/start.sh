# Sourced first by the benchmark scripts that run QVUpdater.exe from outside, with $root set:
# sets up and builds unless tools/bench.sh, which names QV_BENCH_WORK, has done so already; runs
# the script again under Xvfb when there is no display; then brings in the Wine environment, the
# samples' helpers and the updater's run helpers.
if [ "${QV_BENCH_INNER:-}" != 1 ]; then
    if [ -z "${QV_BENCH_WORK:-}" ]; then
        bash "$root/tools/setup.sh"
        bash "$root/tools/build.sh" >/dev/null
    fi
    if [ -z "${DISPLAY:-}" ]; then
        exec env QV_BENCH_INNER=1 xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@" </dev/null
    fi
fi
source "$root/tools/wine-env.sh"
source "$root/bench/samples.sh"
source "$root/bench/e2e.sh"
