#!/usr/bin/env bash
# The release package as a user gets it: packed by CPack from this build, unzipped into a fresh
# folder it holds exactly the two deliverables and the note naming them; the program started
# from there in a fresh Wine prefix with the simulated sensor shows the account's finger count.
#   package-test.sh CPACK CMAKE BUILD_DIR VERSION
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
cpack=$1
cmake=$2
build=$(cd "$3" && pwd)
version=$4

work=$(mktemp -d "${TMPDIR:-/tmp}/nv-package-test.XXXXXX")
prefix="$work/wineprefix"
program_pid=""
cleanup() {
    [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
    [ -d "$prefix" ] && nv_wine_shutdown "$prefix"
    rm -rf "$work"
}
trap cleanup EXIT
source "$root/scripts/wine-env.sh"
fail() {
    echo "FAILED: $*" >&2
    exit 1
}

echo "== cpack"
"$cpack" -G ZIP --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack"; }
name="NorvikFingerprint-$version-win64"
zip="$work/out/$name.zip"
[ -f "$zip" ] || fail "no $name.zip in: $(ls "$work/out")"

echo "== unzipped"
mkdir "$work/unzipped"
(cd "$work/unzipped" && "$cmake" -E tar xf "$zip")
listing=$(cd "$work/unzipped" && find . -mindepth 1 | LC_ALL=C sort)
echo "$listing"
expected=$(printf '%s\n' "./$name" "./$name/NVDCoInstaller.dll" "./$name/NorvikFingerprint.exe" \
    "./$name/README.txt" | LC_ALL=C sort)
[ "$listing" = "$expected" ] || fail "the package holds other files than: $(echo $expected)"
readme="$work/unzipped/$name/README.txt"
for word in "Norvik Fingerprint $version" NorvikFingerprint.exe NVDCoInstaller.dll; do
    grep -q "$word" "$readme" || fail "README.txt does not name $word"
done

echo "== a fresh prefix with the simulated sensor"
"$root/scripts/make-prefix.sh" "$prefix" "$build" >"$work/prefix.log" 2>&1 || { cat "$work/prefix.log"; fail "make-prefix.sh"; }
nv_wine_prepare "$prefix"
exec 7>&- 9>&-
w() { "$NV_WINE" "$@" 2>/dev/null </dev/null | tr -d '\r'; }
w winbio-sim.exe reset >/dev/null || fail "winbio-sim reset"
w winbio-sim.exe enroll . 3 finger-a >/dev/null || fail "winbio-sim enroll"

echo "== the program from the package"
"$NV_WINE" "$work/unzipped/$name/NorvikFingerprint.exe" </dev/null >"$work/program.log" 2>&1 &
program_pid=$!
driver="$build/bin/guidriver.exe"
w "$driver" wait --title "Norvik Fingerprint" --timeout 60000 >/dev/null || fail "the main window did not appear"
count=""
for _ in $(seq 1 100); do
    count=$(w "$driver" list --title "Norvik Fingerprint" --timeout 1000 | sed -n 's/^id=1207 .*text="\(.*\)"$/\1/p')
    [ "$count" = " 1/10" ] && break
    sleep 0.2
done
echo "count: \"$count\""
[ "$count" = " 1/10" ] || fail "the count shows \"$count\", not \" 1/10\""
w "$driver" post --title "Norvik Fingerprint" --message 0x10 >/dev/null # WM_CLOSE
for _ in $(seq 1 50); do
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.2
done
kill -0 "$program_pid" 2>/dev/null && fail "the program did not end when its window was closed"
program_pid=""
echo "PASSED"
