# Sourced by the benchmark scripts: the figures of alternated runs. A benchmark prints each side's
# seconds as one "name=s1 s2 ..." line; a script collects its own runs the same way.

# The samples of a name in a file of "name=value" lines (a single figure is one sample).
samples() { [ -f "$1" ] || return 0; sed -n "s/^$2=//p" "$1" | tr -d '\r' | head -1; }
sample_min() { tr ' ' '\n' <<<"$1" | grep . | sort -g | head -1; }
sample_median() {
    tr ' ' '\n' <<<"$1" | grep . | sort -g |
        awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
sample_max() { tr ' ' '\n' <<<"$1" | grep . | sort -g | tail -1; }
# Puts "name=value" in place of the line of that name in a file of such lines.
set_line() { # <file> <name> <value>
    grep -v "^$2=" "$1" >"$1.new" 2>/dev/null || true
    echo "$2=$3" >>"$1.new"
    mv "$1.new" "$1"
}
# Appends a sample to the line of a name in a file of "name=s1 s2 ..." lines.
add_sample() { # <file> <name> <seconds>
    local old
    old=$(samples "$1" "$2")
    set_line "$1" "$2" "${old:+$old }$3"
}
# Adds one turn's "name=value" lines to a file of samples: the names given gather samples, every
# other line keeps its latest value.
merge_turn() { # <into> <turn> <sample names...>
    local into=$1 turn=$2 line name
    shift 2
    while IFS= read -r line; do
        name=${line%%=*}
        [ "$name" != "$line" ] || continue
        if [[ " $* " == *" $name "* ]]; then
            add_sample "$into" "$name" "${line#*=}"
        else
            set_line "$into" "$name" "${line#*=}"
        fi
    done <"$turn"
}
# Wine's server and the Wine programs of a benchmark stay on one CPU: on these virtual machines a
# call that wakes the server on another CPU costs 70-150 us more than on the same one (14 us),
# and where the scheduler puts them changes from second to second, so that every figure under
# Wine swung with it by 2x and more. QV_BENCH_CPU picks the CPU (default the last); "none"
# leaves them free. lz4 runs on that CPU too, beside the decoder that it is set against; the
# servers and curl run free on the other CPUs.
qv_bench_cpu=${QV_BENCH_CPU:-$(($(nproc) - 1))}
if [ "$qv_bench_cpu" != none ]; then export QV_WINE_CPU=$qv_bench_cpu; fi
pin_wine_server() {
    local p
    [ "$qv_bench_cpu" != none ] || return 0
    for p in $(pgrep wineserver); do
        if { tr '\0' '\n' <"/proc/$p/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX"; then
            taskset -pc "$qv_bench_cpu" "$p" >/dev/null
        fi
    done
}
pinned() { # <command...>: run on Wine's CPU
    if [ "$qv_bench_cpu" = none ]; then "$@"; else taskset -c "$qv_bench_cpu" "$@"; fi
}
calc() { awk "BEGIN { printf \"$1\", $2 }"; }
verdict() { awk "BEGIN { print ($1) ? \"met\" : \"NOT met\" }"; }
# One row of a comparison: what was measured and its reference, each with its minimum and median
# seconds, and the ratio of the minimums.
compare_row() { # <label> <samples> <reference label> <reference samples>
    local a b
    a=$(sample_min "$2")
    b=$(sample_min "$4")
    printf '%-30s %8.3f %8.3f   %-38s %8.3f %8.3f %7.2fx\n' "$1" "$a" "$(sample_median "$2")" "$3" "$b" \
        "$(sample_median "$4")" "$(calc "%.4f" "$a / $b")"
}
sample_row() { printf '%-52s %8.3f %8.3f\n' "$1" "$(sample_min "$2")" "$(sample_median "$2")"; }
compare_header() {
    printf '%-30s %8s %8s   %-38s %8s %8s %8s\n' "measured (seconds)" "min" "median" "reference" "min" "median" \
        "ratio"
}
