#!/bin/sh
# Runs each fuzzer for a bounded time from the generated seeds plus the corpus
# kept from earlier runs, then prints executions and crashes per fuzzer.
#   fuzz/run.sh BUILD_DIR SECONDS
# Exit status 1 when any fuzzer crashed; its input is in BUILD_DIR/fuzz-out/crashes/.
set -u
build=$1
seconds=$2
src=$(cd "$(dirname "$0")" && pwd)
out=$build/fuzz-out
# Leaks found inside third-party libraries are the make test-asan list's.
export LSAN_OPTIONS="suppressions=$src/../tests/lsan.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
mkdir -p "$out/crashes"
"$build/fuzz/fuzz_seeds" "$out/seeds" || exit 2

status=0
: > "$out/summary.txt"
for target in world save raster door; do
    mkdir -p "$out/corpus/$target"
    log=$out/$target.log
    dict=
    [ "$target" = world ] && dict=-dict=$src/world.dict
    [ "$target" = save ] && dict=-dict=$src/save.dict
    before=$(ls "$out/crashes" | grep -c "^$target-" || true)
    # -rss_limit_mb: a table count may not make the reader allocate more than the input holds.
    "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 \
        -rss_limit_mb=1024 -artifact_prefix="$out/crashes/$target-" $dict \
        "$out/corpus/$target" "$out/seeds/$target" > "$log" 2>&1
    rc=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    after=$(ls "$out/crashes" | grep -c "^$target-" || true)
    line="fuzz_$target: ${runs:-?} executions in $seconds s, $((after - before)) crashes, exit $rc, corpus $(ls "$out/corpus/$target" | wc -l) inputs"
    echo "$line" | tee -a "$out/summary.txt"
    if [ "$rc" -ne 0 ]; then
        status=1
        grep -E "ERROR|runtime error|broken:|SUMMARY" "$log" | head -n 20
    fi
done
exit $status
