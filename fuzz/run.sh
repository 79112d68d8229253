#!/bin/bash
# Runs every fuzz target in BUILD for SECONDS each, PARALLEL at a time, over its corpus in OUT
# (kept between runs) and the seeds; prints executions and findings per target. Exits 1 on a finding.
BUILD=${1:-build-fuzz}
SECONDS_EACH=${2:-60}
PARALLEL=${3:-3}
OUT=${4:-$BUILD/fuzz}
set -e
# The picture decoder must be the copy built with the sanitizers, not the system's uninstrumented library.
if ! objdump -d --disassemble=stbi__parse_png_file "$BUILD/fuzz/fuzz_import" | grep -q '__asan_report'; then
    echo "fuzz_import: the picture decoder is not compiled in with AddressSanitizer" >&2
    exit 1
fi
"$BUILD/fuzz/vorlix_fuzz_seeds" "$BUILD/fuzz-seeds"
mkdir -p "$BUILD/fuzz-seeds/font"
/usr/bin/python3 "$(dirname "$0")/font_seed.py" "$BUILD/fuzz-seeds/font/seed.ttf"
set +e
run_one() {
    mkdir -p "$OUT/corpus/$1" "$OUT/findings/$1" "$OUT/logs"
    nice "$BUILD/fuzz/fuzz_$1" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=3072 \
        -print_final_stats=1 -artifact_prefix="$OUT/findings/$1/" "$OUT/corpus/$1" "$BUILD/fuzz-seeds/$1" \
        >"$OUT/logs/$1.log" 2>&1
}
names=$(ls "$BUILD/fuzz" | sed -n 's/^fuzz_\([a-z0-9_]*\)$/\1/p')
running=0
for n in $names; do
    run_one "$n" &
    running=$((running + 1))
    if [ "$running" -ge "$PARALLEL" ]; then
        wait -n
        running=$((running - 1))
    fi
done
wait
status=0
printf '%-12s %14s %9s\n' target executions findings
for n in $names; do
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$OUT/logs/$n.log" | tail -1)
    found=$(ls "$OUT/findings/$n" | wc -l)
    printf '%-12s %14s %9s\n' "$n" "${execs:-?}" "$found"
    if [ "$found" -ne 0 ] || [ -z "$execs" ]; then
        status=1
        ls "$OUT/findings/$n" | sed "s|^|    $OUT/findings/$n/|"
        grep -m3 -E 'ERROR|SUMMARY' "$OUT/logs/$n.log" | sed 's/^/    /'
    fi
done
exit $status
