#!/usr/bin/env bash
# Packs a release: builds the two deliverables of the windows preset and writes
# build/package/NorvikFingerprint-<version>-win64.zip (NorvikFingerprint.exe, NVDCoInstaller.dll
# and a README.txt naming them and the version; see cmake/Packaging.cmake) and SHA256SUMS beside
# it. Prints the zip's path and its SHA-256.
#
#   scripts/package.sh
#
# Only what the package holds is built; scripts/test.sh builds and tests everything.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

case "${1:-}" in
    "") ;;
    -h | --help) sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "package.sh: unknown option $1 (try --help)" >&2; exit 2 ;;
esac

source scripts/deps.sh
nv_install_deps
mkdir -p build/logs
log=build/logs/package-build.log
echo "== Building the deliverables (windows preset; log in $log)"
if ! { cmake --preset windows &&
    cmake --build --preset windows -j "$(nproc)" --target NorvikFingerprint NVDCoInstaller; } >"$log" 2>&1; then
    tail -n 30 "$log"
    echo "package.sh: the build failed" >&2
    exit 1
fi

out="$root/build/package"
log=build/logs/package-cpack.log
echo "== Packing (cpack; log in $log)"
rm -rf "$out"
mkdir -p "$out"
if ! cpack --config build/windows/CPackConfig.cmake -B "$out" >"$log" 2>&1; then
    cat "$log"
    echo "package.sh: cpack failed" >&2
    exit 1
fi
# CPack's staging folder is no part of what is handed out.
rm -rf "$out/_CPack_Packages"
zips=("$out"/NorvikFingerprint-*-win64.zip)
[ ${#zips[@]} -eq 1 ] && [ -f "${zips[0]}" ] || { echo "package.sh: no single zip in $out" >&2; exit 1; }
zip=${zips[0]}
(cd "$out" && sha256sum "$(basename "$zip")" >SHA256SUMS)
echo "   $(basename "$zip"):"
cmake -E tar tf "$zip" | sed 's/^/     /'
echo "Package: $zip"
echo "SHA-256: $(cat "$out/SHA256SUMS")"
