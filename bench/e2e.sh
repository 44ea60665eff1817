# Sourced by the benchmark scripts that run QVUpdater.exe from outside: the update server, an
# installation laid out for the updater, and one run timed by time_updater.py. They use $root,
# $build, $bench and $work of the script that sources them.

server_pid=""
stop_server() {
    if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; fi
    server_pid=""
}
serve() { # <archive>: the update server answers every request with it; sets $port
    stop_server
    rm -f "$work/server.txt"
    python3 "$bench/update_server.py" --port-file "$work/server.txt" --mode file --file "$1" \
        --log "$work/requests.log" --lifetime 1800 &
    server_pid=$!
    port=$(qv_wait_port_file "$work/server.txt")
}
# The product's facts, which every laid-out installation gets.
write_facts() {
    local facts="$work/facts.txt"
    printf '1\tLocal_Current\tEnglish\n2\tQV2_Version\t2.0.0\n3\tQV2_FreeVersionFlag\t0\n4\tZRN_InternalBuildString\tQV2-BENCH\n5\tZRN_Application\tQuorvel 2\n' >"$facts"
    wine "$build/foundation/datafiles/vsfbuild.exe" "Z:$facts" "Z:$work/system.vsf" >/dev/null
}
lay_out() { # <folder>: an installation with the updater and the product's facts, no product files
    mkdir -p "$1/Resources"
    cp "$build/updater/app/QVUpdater.exe" "$1/"
    cp "$build/updater/app/Resources/QVUpdater.vsf" "$build/updater/app/Resources/QVUpdater.vrf" "$work/system.vsf" \
        "$1/Resources/"
    printf '127.0.0.1:%s\n' "$port" >"$1/testmode"
}
# The updater refuses to install while the product runs: the one it started must be gone.
product_gone() {
    for _ in $(seq 300); do pgrep -f "$(basename "$work").*QUORVEL.EXE" >/dev/null || return 0; sleep 0.05; done
}
run_updater() { # <folder> <samples file> <prefix>
    product_gone
    rm -f "$1/QuorvelRuns.log"
    python3 "$root/bench/time_updater.py" "$1" "$work/requests.log" 'd00\0000.dat' QuorvelRuns.log >"$work/run.txt" ||
        { cat "$work/run.txt" >&2; exit 1; }
    for figure in total_s startup_s receive_s files_s peak_mib ended_s marker_s; do
        add_sample "$2" "$3_$figure" "$(samples "$work/run.txt" "$figure")"
    done
}

# Wine with the null sound device and its server pinned, and net_bench's server outside Wine and
# its CPU; sets $product, the program the updates start, and $net_port. stop_runs ends them all.
net_server_pid=""
start_runs() {
    qv_null_sound_home "$work/home"
    qv_wine_start
    pin_wine_server
    product="$build/testing/demo/QUORVEL_NEXT.exe"
    python3 "$bench/http_server.py" "$work/net-server.txt" >/dev/null 2>&1 &
    net_server_pid=$!
    net_port=$(qv_wait_port_file "$work/net-server.txt")
}
stop_runs() {
    stop_server
    if [ -n "$net_server_pid" ]; then kill "$net_server_pid" 2>/dev/null || true; fi
    qv_wine_stop
}
