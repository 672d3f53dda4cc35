#!/usr/bin/env bash
# The installer package as an administrator uses it, with Wine's own msiexec as the client: an
# older version installed first, this one installed over it (the major upgrade replaces it), the
# installed program started from Program Files, where its Start-menu shortcut points, then removed. The template
# database and the user's settings stay as they were, byte for byte. The package and the program
# in it are signed with a certificate made here, and osslsigncode verifies both signatures.
#   msi-test.sh CPACK BUILD_DIR VERSION
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
cpack=$1
build=$(cd "$2" && pwd)
version=$3

work=$(mktemp -d "${TMPDIR:-/tmp}/nv-msi-test.XXXXXX")
source "$here/package-lib.sh"
trap nv_pkg_cleanup EXIT

echo "== a throwaway signing certificate"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 2 \
    -subj "/CN=Norvik Fingerprint Test Signing" >"$work/openssl.log" 2>&1 || { cat "$work/openssl.log"; fail "openssl"; }
export NV_SIGN_CERT="$work/cert.pem" NV_SIGN_KEY="$work/key.pem"
unset NV_SIGN_PFX

# Signed while CPack packs, as scripts/package.sh does it.
echo "== cpack, signing the staged program"
"$cpack" -G ZIP --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack"; }
name="NorvikFingerprint-$version-win64"
mkdir "$work/new"
(cd "$work/new" && cmake -E tar xf "$work/out/$name.zip")
program="$work/new/$name/NorvikFingerprint.exe"

# The older version carries another build of the program (with its symbols), so that the files
# tell which version is installed.
older_version=0.9.0
[ "$version" != "$older_version" ] || fail "this build's version is the older one's"
mkdir "$work/old"
cp "$build/bin/NorvikFingerprint.exe" "$work/old/"
cmp -s "$work/old/NorvikFingerprint.exe" "$program" && fail "the two programs are the same file"
"$root/scripts/make-msi.sh" "$work/old" "$older_version" "$work/old.msi" || fail "make-msi.sh (older)"
"$root/scripts/make-msi.sh" "$work/new/$name" "$version" "$work/new.msi" || fail "make-msi.sh"
"$root/scripts/sign.sh" "$work/new.msi" >/dev/null || fail "sign.sh"

echo "== the signatures"
for file in "$program" "$work/new.msi"; do
    osslsigncode verify -CAfile "$work/cert.pem" -in "$file" >"$work/verify.log" 2>&1 ||
        { cat "$work/verify.log"; fail "the signature of $(basename "$file") does not verify"; }
    for line in "Message digest algorithm *: SHA256" "Text description: Norvik Fingerprint" \
        "URL description: https://" "Signature verification: ok"; do
        grep -q "$line" "$work/verify.log" || { cat "$work/verify.log"; fail "$(basename "$file"): no \"$line\""; }
    done
    echo "$(basename "$file"): signed, SHA-256, verified"
done
# What an untouched file gives, so that a verify that passes everything would show.
osslsigncode verify -CAfile "$work/cert.pem" -in "$work/old/NorvikFingerprint.exe" >/dev/null 2>&1 &&
    fail "osslsigncode verified an unsigned program"

nv_pkg_prefix
drive_c="$prefix/drive_c"
installed="$drive_c/Program Files/NorvikFP/NorvikFingerprint.exe"
database="$drive_c/ProgramData/NorvikWbf/NVKDB.edb"
# The program's own per-user switch, set to what the program then leaves alone (no hand-off).
w reg add 'HKCU\SOFTWARE\NORVIK\Printkeep' /v ShowWelcome /t REG_DWORD /d 1 /f >/dev/null ||
    fail "reg add"
mkdir -p "$(dirname "$database")"
w "$build/bin/nvkdb.exe" create 'C:\ProgramData\NorvikWbf\NVKDB.edb' --force >/dev/null || fail "nvkdb create"
w "$build/bin/nvkdb.exe" account 'C:\ProgramData\NorvikWbf\NVKDB.edb' 0 --user someone --password secret \
    >/dev/null || fail "nvkdb account"
database_before=$(sha256sum <"$database")
settings() { w reg query 'HKCU\SOFTWARE\NORVIK\Printkeep' /v ShowWelcome | grep ShowWelcome; }
settings_before=$(settings)

shortcuts() { find "$drive_c" -name 'Norvik Fingerprint.lnk' | sort; }
entries() { w reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s | grep -A30 'DisplayName *REG_SZ *Norvik Fingerprint$' || true; }
msiexec() {
    local started=$SECONDS status=0
    "$NV_WINE" msiexec "$@" </dev/null >>"$work/msiexec.log" 2>&1 || status=$?
    echo "msiexec $1 $(basename "$2") $3: exit $status, $((SECONDS - started)) s"
    return $status
}

echo "== install the older version"
msiexec /i "$work/old.msi" /qn || fail "installing the older version"
cmp -s "$installed" "$work/old/NorvikFingerprint.exe" || fail "the older program is not in Program Files"
[ -n "$(shortcuts)" ] || fail "no Start-menu shortcut"
grep -q "DisplayVersion *REG_SZ *$older_version" <<<"$(entries)" || fail "no Add/Remove entry of $older_version"

echo "== install this version over it"
msiexec /i "$work/new.msi" /qn || fail "installing this version"
cmp -s "$installed" "$program" || fail "the upgrade did not replace the program"
listed=$(entries)
echo "$listed" | grep -E 'DisplayName|DisplayVersion|Publisher|URLInfoAbout' | sed 's/^ */  /'
[ "$(echo "$listed" | grep -c 'DisplayName *REG_SZ')" -eq 1 ] || fail "the older version is still listed"
grep -q "DisplayVersion *REG_SZ *$version\$" <<<"$listed" || fail "Add/Remove does not show $version"
grep -q 'Publisher *REG_SZ *Norvik$' <<<"$listed" || fail "Add/Remove does not name the publisher"
shortcut=$(shortcuts)
[ "$(echo "$shortcut" | grep -c .)" -eq 1 ] || fail "not one shortcut: $shortcut"
echo "shortcut: ${shortcut#"$drive_c"}"
# The shortcut leads to the installed program (a .lnk keeps its target as text).
target=$(strings -a "$shortcut"; strings -a -el "$shortcut")
grep -qi 'C:\\Program Files\\NorvikFP\\NorvikFingerprint\.exe' <<<"$target" || fail "the shortcut does not point to the program"

echo "== an older package over this one is refused"
msiexec /i "$work/old.msi" /qn && fail "msiexec installed an older version over a newer one"
cmp -s "$installed" "$program" || fail "the older package replaced the newer program"

echo "== a package of the same version replaces the installed one (a repair)"
"$root/scripts/make-msi.sh" "$work/old" "$version" "$work/same.msi" || fail "make-msi.sh (same version)"
msiexec /i "$work/same.msi" /qn || fail "installing the same version again"
cmp -s "$installed" "$work/old/NorvikFingerprint.exe" || fail "the same version did not replace the program"
[ "$(entries | grep -c 'DisplayName *REG_SZ')" -eq 1 ] || fail "the same version is listed twice"
msiexec /i "$work/new.msi" /qn || fail "installing this version back"
cmp -s "$installed" "$program" || fail "this version did not come back"

echo "== the installed program"
nv_pkg_run_program 'C:\Program Files\NorvikFP\NorvikFingerprint.exe'

echo "== remove"
msiexec /x "$work/new.msi" /qn || fail "removing"
[ ! -e "$drive_c/Program Files/NorvikFP" ] || fail "Program Files\\NorvikFP is still there: $(ls "$drive_c/Program Files/NorvikFP")"
[ -z "$(shortcuts)" ] || fail "the shortcut is still there"
[ -z "$(entries)" ] || fail "Add/Remove still lists the program"
[ "$(sha256sum <"$database")" = "$database_before" ] || fail "NVKDB.edb changed"
[ "$(settings)" = "$settings_before" ] || fail "the user's settings changed"
echo "NVKDB.edb and the user's settings are as they were"
echo "PASSED"
