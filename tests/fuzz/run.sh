#!/usr/bin/env bash
# Fuzzes every target of a libFuzzer build for a number of seconds each and prints what each
# reached. usage: run.sh [-j N] BUILD_DIR SECONDS [TARGET...]
# -j N fuzzes N targets at a time (one core each; default 1).
# New inputs are kept in BUILD_DIR/fuzz/<target>/ (start from there next time); the seeds, the
# regression inputs and the shared samples are read, never written. A crash fails the run
# and leaves its input in BUILD_DIR/fuzz/crash-<target>-*: copy it into
# tests/fuzz/regressions/<target>/ once the fault is mended.
set -uo pipefail
parallel=1
if [ "${1:-}" = "-j" ]; then
    parallel=$2
    shift 2
fi
build=$(cd "$1" && pwd)
seconds=$2
shift 2
src=$(cd "$(dirname "$0")" && pwd)
samples="$src/../../../shared/samples/real-si"
targets=("$@")
[ ${#targets[@]} -eq 0 ] && mapfile -t targets < "$build/fuzz-targets.txt"
mkdir -p "$build/fuzz"

fuzz_one() {
    local t=$1
    local exe="$build/tests/fuzz/fuzz_$t"
    local work="$build/fuzz/$t"
    mkdir -p "$work"
    local inputs=("$work" "$src/corpus/$t")
    [ -d "$src/regressions/$t" ] && inputs+=("$src/regressions/$t")
    case "$t" in ts_path | replay_sdt | eit_section) [ -d "$samples" ] && inputs+=("$samples") ;; esac
    local log="$build/fuzz/$t.log"
    "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$build/fuzz/crash-$t-" "${inputs[@]}" > "$log" 2>&1
    local rc=$?
    local execs cov ft result=ok
    execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*')
    ft=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*')
    [ $rc -ne 0 ] && result="FAILED (see $log)"
    printf '%-14s %12s %8s %8s %s\n' "$t" "${execs:-?}" "${cov:-?}" "${ft:-?}" "$result" \
        > "$build/fuzz/$t.result"
}

for t in "${targets[@]}"; do
    rm -f "$build/fuzz/$t.result"
    while [ "$(jobs -rp | wc -l)" -ge "$parallel" ]; do wait -n; done
    fuzz_one "$t" &
done
wait

status=0
printf '%-14s %12s %8s %8s %s\n' target executions cov ft result
for t in "${targets[@]}"; do
    if [ -f "$build/fuzz/$t.result" ]; then
        cat "$build/fuzz/$t.result"
        grep -q FAILED "$build/fuzz/$t.result" && status=1
    else
        printf '%-14s did not run\n' "$t"
        status=1
    fi
done
exit $status
