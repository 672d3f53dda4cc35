#!/usr/bin/env bash
# The one test command: installs what is missing, configures and builds the presets (the Windows
# targets also with clang, build only), runs the native tests (under AddressSanitizer and UBSan)
# and the Windows tests (under Wine, on Xvfb when there is no display), a short fuzzing of every
# parser of outside input (scripts/fuzz.sh) and clang-tidy over every source but the tests
# (scripts/lint.sh), and ends with CTest's summary of each and the time of every stage. Exits
# non-zero on any failure.
#
#   scripts/test.sh                 everything above
#   scripts/test.sh --heap-check    only the Windows build and its tests, under Wine's heap
#                                   checking (WINEDEBUG=err+heap,warn+heap): every test must pass
#                                   and Wine must report nothing about the heap. Run it after a
#                                   change that adds threads or changes who frees what.
set -uo pipefail

heap_check=0
case "${1:-}" in
    "") ;;
    --heap-check) heap_check=1 ;;
    -h | --help) sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "test.sh: unknown option $1 (try --help)" >&2; exit 2 ;;
esac

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
source scripts/deps.sh
source scripts/wine-env.sh

nv_install_deps || { echo "test.sh: could not install the build dependencies" >&2; exit 1; }

jobs=$(nproc 2>/dev/null || echo 2)
logs=build/logs
mkdir -p "$logs"

build() {
    local preset=$1
    echo "== Building $preset"
    if ! cmake --preset "$preset" >"$logs/configure-$preset.log" 2>&1; then
        cat "$logs/configure-$preset.log"
        return 1
    fi
    if ! cmake --build --preset "$preset" -j "$jobs" >"$logs/build-$preset.log" 2>&1; then
        grep -E -A3 'error|Error' "$logs/build-$preset.log" | head -n 60
        echo "(whole log: $logs/build-$preset.log)"
        return 1
    fi
}

run_tests() {
    local preset=$1
    echo "== Testing $preset"
    # Under Wine a test process now and then dies before its first line (seen once in a few
    # thousand starts: no output, failed in 0.04 s, passing on every rerun). Such a test gets one
    # more run; a test that fails twice fails the suite, and the log shows every first failure.
    local repeat=()
    [ "$preset" = windows ] && repeat=(--repeat until-pass:2)
    ctest --preset "$preset" -j "$jobs" "${repeat[@]}" >"$logs/test-$preset.log" 2>&1
    local rc=$?
    grep -E '\*\*\*|tests FAILED|^[[:space:]]+[0-9]+ - ' "$logs/test-$preset.log" | head -n 60
    return $rc
}

summary() {
    local preset=$1
    echo "-- $preset:"
    sed -n '/tests passed/,$p' "$logs/test-$preset.log" 2>/dev/null | sed 's/^/   /'
}

# Each stage's time, for the summary.
times=()
timed() {
    local name=$1 start=$SECONDS rc
    shift
    "$@"
    rc=$?
    times+=("$(printf '%-22s %4d s' "$name" $((SECONDS - start)))")
    return $rc
}

if [ $heap_check -eq 1 ]; then
    start=$SECONDS
    build windows || exit 1
    prefix="$root/build/windows/wineprefix"
    rm -rf "$prefix" "$prefix.boot.log"
    trap 'nv_wine_shutdown "$prefix"' EXIT
    echo "== Testing windows under Wine's heap checking (log: $logs/test-windows-heap.log)"
    # Every line every test printed, so that a report from any process of a test is seen.
    # The start-up flake of the normal run (below) gets its one more run here too.
    NV_WINEDEBUG=err+heap,warn+heap ctest --preset windows -j "$jobs" -V --repeat until-pass:2 \
        >"$logs/test-windows-heap.log" 2>&1
    rc=$?
    reports=$(grep -c -E '(err|warn):heap' "$logs/test-windows-heap.log")
    grep -E '(err|warn):heap' "$logs/test-windows-heap.log" | head -n 20
    grep -E '\*\*\*|tests FAILED|^[[:space:]]+[0-9]+ - ' "$logs/test-windows-heap.log" | head -n 40
    sed -n '/tests passed/,/Total Test time/p' "$logs/test-windows-heap.log"
    echo "heap reports: $reports; $((SECONDS - start)) s"
    [ $rc -eq 0 ] && [ "$reports" -eq 0 ]
    exit $?
fi

status=0
timed "build native" build native || status=1
timed "build windows" build windows || status=1
# The same Windows targets with clang and lld: built only, so that code one compiler alone accepts
# fails here; its tests are the windows preset's.
timed "build windows-clang" build windows-clang || status=1
timed "build fuzz" build fuzz || status=1

prefix="$root/build/windows/wineprefix"
# A fresh prefix for every run; all of this run's tests share it.
rm -rf "$prefix" "$prefix.boot.log"
trap 'nv_wine_shutdown "$prefix"' EXIT

native_rc=1
windows_rc=1
[ -f build/native/CTestTestfile.cmake ] && { timed "native tests" run_tests native; native_rc=$?; }
[ -f build/windows/CTestTestfile.cmake ] && { timed "windows tests" run_tests windows; windows_rc=$?; }
[ $native_rc -eq 0 ] && [ $windows_rc -eq 0 ] || status=1

# Every fuzz target over its seeds, then ten seconds of fuzzing each from a scratch corpus; a
# finding fails the run and names its input.
fuzz_rc=1
fuzz_smoke() {
    echo "== Fuzz smoke"
    scripts/fuzz.sh --smoke 10 >"$logs/fuzz-smoke.log" 2>&1
    local rc=$?
    grep -E '^FINDING|execs in|^   |fuzz.sh:' "$logs/fuzz-smoke.log"
    return $rc
}
[ -d build/fuzz/bin ] && { timed "fuzz smoke" fuzz_smoke; fuzz_rc=$?; }
[ $fuzz_rc -eq 0 ] || status=1

# clang-tidy with the checks of .clang-tidy, over the sources as the native, fuzz and windows-clang
# builds compile them; any finding fails the run.
lint() {
    echo "== clang-tidy"
    scripts/lint.sh >"$logs/lint-summary.log" 2>&1
    local rc=$?
    cat "$logs/lint-summary.log"
    return $rc
}
timed "clang-tidy" lint
lint_rc=$?
[ $lint_rc -eq 0 ] || status=1

echo
echo "== Summary (logs in $logs)"
summary native
summary windows
if [ $fuzz_rc -eq 0 ]; then
    echo "-- fuzz: every target clean over its seeds and 10 s of fuzzing"
else
    echo "-- fuzz: FAILED (see above and $logs/fuzz-smoke.log)"
fi
if [ $lint_rc -eq 0 ]; then
    echo "-- clang-tidy: no findings"
else
    echo "-- clang-tidy: FAILED (see above and $logs/lint.log)"
fi
echo "-- stage times:"
printf '   %s\n' "${times[@]}"
# One closing line over both suites: "total: N passed, N failed".
count() { sed -n "s/.* tests passed, \([0-9]*\) tests failed out of \([0-9]*\).*/\1 \2/p" "$logs/test-$1.log" 2>/dev/null; }
passed=0
failed=0
for preset in native windows; do
    read -r f t <<<"$(count $preset)" || true
    if [ -n "${t:-}" ]; then
        passed=$((passed + t - f))
        failed=$((failed + f))
    fi
done
[ $status -eq 0 ] || [ $failed -gt 0 ] || failed=1 # a build that failed counts too
echo "total: $passed passed, $failed failed"
exit $status
