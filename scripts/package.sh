#!/usr/bin/env bash
# Packs a release: builds the two deliverables of the windows preset and writes into build/package/
#   NorvikFingerprint-<version>-win64.zip   NorvikFingerprint.exe, NVDCoInstaller.dll (for the
#                                           driver package) and a README.txt naming them and the
#                                           version (cmake/Packaging.cmake)
#   NorvikFingerprint-<version>-win64.msi   the Windows Installer package of the program
#                                           (scripts/make-msi.sh, cmake/NorvikFingerprint.wxs)
#   SHA256SUMS                              of both
# With a certificate in the environment (NV_SIGN_CERT and NV_SIGN_KEY in PEM, or NV_SIGN_PFX and
# NV_SIGN_PFX_PASSWORD; see scripts/sign.sh) the EXE and the DLL are signed before they are packed,
# and then the MSI; without one the release is unsigned, and the script says so.
#
#   scripts/package.sh
#
# Only what the package holds is built; scripts/test.sh builds and tests everything.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

case "${1:-}" in
    "") ;;
    -h | --help) sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
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

sign_mode=0
bash scripts/sign.sh --check || sign_mode=$?
case $sign_mode in
    0) echo "== Signing with ${NV_SIGN_PFX:-$NV_SIGN_CERT}" ;;
    1) echo "== Unsigned: no certificate set (NV_SIGN_CERT and NV_SIGN_KEY, or NV_SIGN_PFX; see scripts/sign.sh)" ;;
    *) echo "package.sh: the signing certificate is incomplete" >&2; exit 1 ;;
esac

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
# What the signing step inside CPack signed (cmake/SignStaged.cmake).
grep '^   signed ' "$log" || true
# CPack's staging folder is no part of what is handed out.
rm -rf "$out/_CPack_Packages"
zips=("$out"/NorvikFingerprint-*-win64.zip)
[ ${#zips[@]} -eq 1 ] && [ -f "${zips[0]}" ] || { echo "package.sh: no single zip in $out" >&2; exit 1; }
zip=${zips[0]}
name=$(basename "$zip" .zip)
msi="$out/$name.msi"
version=${name#NorvikFingerprint-}
version=${version%-win64}

# The installer carries the very program of the zip, signed or not as the zip's is.
log=build/logs/package-msi.log
echo "== The installer package (wixl; log in $log)"
staging="$out/_msi"
rm -rf "$staging"
mkdir -p "$staging"
if ! { (cd "$staging" && cmake -E tar xf "$zip") && scripts/make-msi.sh "$staging/$name" "$version" "$msi"; } >"$log" 2>&1; then
    cat "$log"
    echo "package.sh: making the installer package failed" >&2
    exit 1
fi
rm -rf "$staging"
if [ $sign_mode -eq 0 ]; then
    bash scripts/sign.sh "$msi"
fi

(cd "$out" && sha256sum "$(basename "$zip")" "$(basename "$msi")" >SHA256SUMS)
echo "   $(basename "$zip"):"
cmake -E tar tf "$zip" | sed 's/^/     /'
echo "Package: $zip"
echo "Installer: $msi"
echo "SHA-256:"
sed 's/^/  /' "$out/SHA256SUMS"
