#!/usr/bin/env bash
# Fuzzes every target of a libFuzzer build for a number of seconds each and prints what each
# reached. usage: run.sh BUILD_DIR SECONDS [TARGET...]
# New inputs are kept in BUILD_DIR/fuzz/<target>/ (start from there next time); the seeds, the
# regression inputs and the shared samples are read, never written. A crash stops with a
# failure and leaves its input in BUILD_DIR/fuzz/crash-<target>-*: copy it into
# tests/fuzz/regressions/<target>/ once the fault is mended.
set -uo pipefail
build=$(cd "$1" && pwd)
seconds=$2
shift 2
src=$(cd "$(dirname "$0")" && pwd)
samples="$src/../../../shared/samples/real-si"
targets=("$@")
[ ${#targets[@]} -eq 0 ] && mapfile -t targets < "$build/fuzz-targets.txt"
mkdir -p "$build/fuzz"
status=0
printf '%-14s %12s %8s %8s %s\n' target executions cov ft result
for t in "${targets[@]}"; do
    exe="$build/tests/fuzz/fuzz_$t"
    work="$build/fuzz/$t"
    mkdir -p "$work"
    inputs=("$work" "$src/corpus/$t")
    [ -d "$src/regressions/$t" ] && inputs+=("$src/regressions/$t")
    case "$t" in ts_path | replay_sdt | eit_section) [ -d "$samples" ] && inputs+=("$samples") ;; esac
    log="$build/fuzz/$t.log"
    "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$build/fuzz/crash-$t-" "${inputs[@]}" > "$log" 2>&1
    rc=$?
    execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*')
    ft=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*')
    result=ok
    if [ $rc -ne 0 ]; then
        result="FAILED (see $log)"
        status=1
    fi
    printf '%-14s %12s %8s %8s %s\n' "$t" "${execs:-?}" "${cov:-?}" "${ft:-?}" "$result"
done
exit $status
