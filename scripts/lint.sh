#!/usr/bin/env bash
# clang-tidy over the program, the co-installer, the simulator, the tools, the benchmarks and the
# fuzz targets, with the checks of .clang-tidy; any finding fails. Portable sources are checked as
# the native build compiles them, Windows-only ones as the windows-clang build does (a source both
# builds compile is checked once, natively). Needs both folders configured (scripts/test.sh has
# built them by then); the fuzz targets are checked when build/fuzz is configured too.
#   scripts/lint.sh [FILE...]    (default: every source of those folders)
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

jobs=$(nproc 2>/dev/null || echo 2)
logs=build/logs
mkdir -p "$logs"

tidy=$(command -v clang-tidy-14 || command -v clang-tidy) || {
    echo "lint.sh: no clang-tidy (scripts/deps.sh installs it)" >&2
    exit 1
}

# clang-tidy goes on with its defaults when .clang-tidy does not parse, and says so only on stderr.
if problems=$("$tidy" --dump-config 2>&1 >/dev/null) && [ -n "$problems" ]; then
    printf '%s\n' "$problems" | head -n 5
    echo "lint.sh: .clang-tidy does not parse" >&2
    exit 1
fi

# No thread_local that needs a destructor, anywhere (tests included): mingw-w64's emulated thread
# storage frees a thread's copy before its C++ destructor runs, which then reads freed memory at
# every thread's end. Pointers and plain scalars only.
thread_locals=$(python3 - "$root" <<'PY'
import os, re, sys
root = sys.argv[1]
scalar = re.compile(r"^(bool|char|wchar_t|char16_t|char32_t|short|int|long|long long|unsigned( \w+)*|"
                    r"float|double|(std::)?u?int\d+_t|(std::)?size_t|DWORD|UINT|LONG|ULONG|BOOL)$")
decl = re.compile(r"\bthread_local\b(?P<rest>[^;=({]*)")
for folder in ("app", "base", "bench", "biometric", "coinstaller", "config", "credentials", "database",
               "fuzz", "resources", "sim", "tests", "tools", "ui"):
    for dirpath, _, names in os.walk(os.path.join(root, folder)):
        for name in names:
            if not name.endswith((".cpp", ".h", ".cc", ".hpp")):
                continue
            path = os.path.join(dirpath, name)
            for number, line in enumerate(open(path, encoding="utf-8", errors="replace"), 1):
                code = line.split("//")[0]
                match = decl.search(code)
                if not match:
                    continue
                words = [w for w in match.group("rest").split() if w not in ("static", "const", "constexpr", "inline")]
                text = " ".join(words)
                if "*" in text:
                    continue
                kind = " ".join(words[:-1]) if len(words) > 1 else ""
                if not scalar.match(kind):
                    print(f"{os.path.relpath(path, root)}:{number}: thread_local of a type with a destructor, or not plainly without one: {line.strip()}")
PY
)
if [ -n "$thread_locals" ]; then
    printf '%s\n' "$thread_locals"
    echo "lint.sh: keep thread_local to pointers and plain scalars" >&2
    exit 1
fi

# "build-folder source" lines, one per source to check.
list=$(python3 - "$root" "$@" <<'PY'
import json, os, sys
root, wanted = sys.argv[1], {os.path.abspath(f) for f in sys.argv[2:]}
# The tests are left to their own runs under the sanitizers; GoogleTest's macros are most of
# what clang-tidy would say of them.
folders = ("app", "base", "bench", "biometric", "coinstaller", "config", "credentials",
           "database", "fuzz", "resources", "sim", "tools", "ui")
seen = set()
for build in ("native", "fuzz", "windows-clang"):
    path = os.path.join(root, "build", build, "compile_commands.json")
    if not os.path.exists(path):
        if build != "fuzz":
            sys.exit(f"lint.sh: {path} is missing; configure the {build} preset first")
        continue
    for entry in json.load(open(path)):
        source = os.path.abspath(os.path.join(entry["directory"], entry["file"]))
        rel = os.path.relpath(source, root)
        if rel.split(os.sep)[0] not in folders or source in seen:
            continue
        if wanted and source not in wanted:
            continue
        seen.add(source)
        print(f"build/{build} {rel}")
PY
) || exit 1

count=$(printf '%s\n' "$list" | grep -c . || true)
echo "clang-tidy: $count sources, $jobs at a time"

# One source: silent when clean, its whole report at once otherwise. GCC's warning flags in the
# native build mean nothing to clang; they are not findings.
check() {
    local report
    report=$("$tidy" --quiet -p "$1" --extra-arg=-Wno-unknown-warning-option "$2" 2>&1) && return 0
    printf '%s\n' "$report"
    return 1
}
export -f check
export tidy
log="$logs/lint.log"
printf '%s\n' "$list" | xargs -P "$jobs" -L 1 bash -c 'check "$0" "$1"' >"$log" 2>&1
rc=$?
pattern='(warning|error): .*\[[a-z]'
findings=$(grep -E "$pattern" "$log" | sort -u)
[ -n "$findings" ] && printf '%s\n' "$findings" | head -n 80
echo "clang-tidy: $count sources, $(printf '%s' "$findings" | grep -c . || true) findings (log: $log)"
[ $rc -eq 0 ]
