#!/usr/bin/env bash
# Makes the Windows Installer package of the program with wixl (cmake/NorvikFingerprint.wxs):
# per-machine, NorvikFingerprint.exe into C:\Program Files\NorvikFP, a Start-menu shortcut, the
# entry in Add/Remove Programs, and the major upgrade of any other version.
#
#   scripts/make-msi.sh FOLDER VERSION OUT.msi
#
# FOLDER holds the NorvikFingerprint.exe to install (package.sh hands it the zip's copy, signed
# when the release is). VERSION is major.minor.patch.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
[ $# -eq 3 ] || { echo "usage: make-msi.sh FOLDER VERSION OUT.msi" >&2; exit 2; }
folder=$(realpath -m "$1")
version=$2
out=$(realpath -m "$3")
[ -f "$folder/NorvikFingerprint.exe" ] || { echo "make-msi.sh: no NorvikFingerprint.exe in $folder" >&2; exit 1; }
[[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "make-msi.sh: version $version is not X.Y.Z" >&2; exit 2; }
for tool in wixl msiinfo msibuild; do
    command -v $tool >/dev/null || { echo "make-msi.sh: $tool is missing (Debian packages wixl, msitools)" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/nv-msi.XXXXXX")
trap 'rm -rf "$work"' EXIT
rm -f "$out"
# wixl takes the source folder relative to where it runs (an absolute one it cannot open).
(cd "$folder" && wixl -a x64 -D Version="$version" -D SourceDir=. -o "$out" "$root/cmake/NorvikFingerprint.wxs") \
    >"$work/wixl.log" 2>&1 || { cat "$work/wixl.log" >&2; exit 1; }
# wixl writes the upgrade range without its upper bound (no IncludeMaximum): the row of older
# versions gets msidbUpgradeAttributesVersionMaxInclusive (0x200) here, so that a package of the
# same version replaces the installed one, a repair, rather than installing beside it.
msiinfo export "$out" Upgrade >"$work/Upgrade.idt"
grep -qP '\t256\t\tNV_OLDER_FOUND\r?$' "$work/Upgrade.idt" ||
    { cat "$work/Upgrade.idt" >&2; echo "make-msi.sh: the Upgrade table is not as expected" >&2; exit 1; }
sed -i 's/\t256\t\tNV_OLDER_FOUND\r\?$/\t768\t\tNV_OLDER_FOUND\r/' "$work/Upgrade.idt"
(cd "$work" && msibuild "$out" -i Upgrade.idt) || { echo "make-msi.sh: msibuild failed" >&2; exit 1; }
