#!/usr/bin/env bash
# The release package as a user gets it: packed by CPack from this build, unzipped into a fresh
# folder it holds exactly the two deliverables and the note naming them; the program started
# from there in a fresh Wine prefix with the simulated sensor shows the account's finger count,
# with decoy oleacc.dll, uxtheme.dll and winbio.dll beside it and Wine told to prefer a DLL it
# finds there (what Windows' search does for every DLL that is not a Known DLL): none is loaded.
#   package-test.sh CPACK CMAKE BUILD_DIR VERSION
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
cpack=$1
cmake=$2
build=$(cd "$3" && pwd)
version=$4

work=$(mktemp -d "${TMPDIR:-/tmp}/nv-package-test.XXXXXX")
source "$here/package-lib.sh"
trap nv_pkg_cleanup EXIT

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

nv_pkg_prefix

echo "== decoys beside the program, Wine preferring them"
folder="$work/unzipped/$name"
decoys=(oleacc uxtheme winbio)
for decoy in "${decoys[@]}"; do
    cp "$build/decoys/$decoy.dll" "$folder/"
done
# The same override must make Wine load a decoy for a program that imports it: a copy of a test
# of ours that imports oleacc, beside its own decoy. Otherwise this test could not fail.
control="$work/control"
mkdir "$control"
cp "$build/bin/enroll_host_test.exe" "$build/decoys/oleacc.dll" "$control/"
WINEDLLOVERRIDES="oleacc,uxtheme,winbio=n,b;mscoree,mshtml=" "$NV_WINE" "$control/enroll_host_test.exe" \
    --gtest_list_tests </dev/null >/dev/null 2>&1 || true
# The marker takes the name the DLL was loaded by, in whatever letter case the importer spelt it.
[ -n "$(find "$control" -iname 'oleacc.dll.loaded')" ] || fail "the override did not make Wine load a planted oleacc.dll"
echo "control: a program importing oleacc loads the planted copy"

echo "== the program from the package"
# Asked for an accessible object, the program loads oleacc then: from System32 too.
WINEDLLOVERRIDES="oleacc,uxtheme,winbio=n,b;mscoree,mshtml=" nv_pkg_run_program "$folder/NorvikFingerprint.exe" accessible
loaded=$(find "$folder" -iname '*.loaded' -printf '%f ')
[ -z "$loaded" ] || fail "the program loaded decoys from its folder: $loaded"
echo "none of ${decoys[*]} was loaded from the program's folder"
echo "PASSED"
