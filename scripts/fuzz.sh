#!/usr/bin/env bash
# Builds the fuzz preset and runs every libFuzzer target, one at a time, for SECONDS each
# (default 60), starting from the repository's seeds (fuzz/corpus/<target>). New corpus entries
# are kept in build/fuzz/corpus/<target>, outside the repository; --save-corpus merges them into
# fuzz/corpus (minimised) at the end. --smoke runs from the seeds alone into a scratch corpus that
# is thrown away, as the test run does. Exits non-zero on any finding and names the input that
# caused it (kept in build/fuzz/findings/).
#   scripts/fuzz.sh [SECONDS] [--save-corpus] [--smoke] [TARGET...]
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
source scripts/deps.sh

seconds=60
save=0
smoke=0
only=()
for arg in "$@"; do
    case "$arg" in
    --save-corpus) save=1 ;;
    --smoke) smoke=1 ;;
    --help | -h)
        sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'
        exit 0
        ;;
    [0-9]*) seconds=$arg ;;
    *) only+=("$arg") ;;
    esac
done

nv_install_packages || { echo "fuzz.sh: could not install the build dependencies" >&2; exit 1; }

build=build/fuzz
logs=build/logs
mkdir -p "$logs"
echo "== Building fuzz"
if ! cmake --preset fuzz >"$logs/configure-fuzz.log" 2>&1; then
    cat "$logs/configure-fuzz.log"
    exit 1
fi
if ! cmake --build --preset fuzz --target fuzzers -j 2 >"$logs/build-fuzz.log" 2>&1; then
    grep -E -A3 'error|Error' "$logs/build-fuzz.log" | head -n 60
    echo "(whole log: $logs/build-fuzz.log)"
    exit 1
fi

targets=()
if [ ${#only[@]} -gt 0 ]; then
    targets=("${only[@]}")
else
    for seeds in fuzz/corpus/*/; do
        targets+=("$(basename "$seeds")")
    done
fi

findings="$root/$build/findings"
mkdir -p "$findings" "$build/run"
status=0
for target in "${targets[@]}"; do
    binary="$root/$build/bin/fuzz_$target"
    if [ ! -x "$binary" ]; then
        echo "fuzz.sh: no fuzz target '$target' ($binary)" >&2
        status=1
        continue
    fi
    if [ $smoke -eq 1 ]; then
        corpus="$root/$build/smoke/$target"
        rm -rf "$corpus"
    else
        corpus="$root/$build/corpus/$target"
    fi
    mkdir -p "$corpus"
    dict=()
    [ -f "fuzz/dict/$target.dict" ] && dict=("-dict=$root/fuzz/dict/$target.dict")
    log="$root/$logs/fuzz-$target.log"
    # New entries go to the first folder only; the seeds are read, never written.
    (cd "$build/run" && "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$findings/$target-" "${dict[@]}" \
        "$corpus" "$root/fuzz/corpus/$target") >"$log" 2>&1
    rc=$?
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    entries=$(find "$corpus" -type f | wc -l)
    if [ $rc -ne 0 ]; then
        input=$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | tail -n 1)
        echo "FINDING in $target: ${input:-no input written} (log: $logs/fuzz-$target.log)"
        grep -E 'ERROR: |invariant broken|runtime error' "$log" | head -n 3 | sed 's/^/   /'
        status=1
        continue
    fi
    printf '%-20s %10s execs in %ss, %s corpus entries\n' "$target" "${execs:-?}" "$seconds" "$entries"
    if [ $save -eq 1 ] && [ $smoke -eq 0 ]; then
        (cd "$build/run" && "$binary" -merge=1 "$root/fuzz/corpus/$target" "$corpus") \
            >"$root/$logs/fuzz-merge-$target.log" 2>&1 ||
            { echo "fuzz.sh: merging the corpus of $target failed" >&2; status=1; }
    fi
done
exit $status
