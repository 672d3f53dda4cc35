#!/usr/bin/env bash
# Signs Windows binaries and installer packages in place with osslsigncode: SHA-256, the product's
# name and web address in the signature. The certificate comes from the environment:
#
#   NV_SIGN_CERT=cert.pem NV_SIGN_KEY=key.pem [NV_SIGN_KEY_PASSWORD=...]   PEM certificate and key
#   NV_SIGN_PFX=signing.pfx [NV_SIGN_PFX_PASSWORD=...]                     or one PKCS#12 file
#   NV_SIGN_TIMESTAMP_URL=http://...                                       optional time stamp
#
#   scripts/sign.sh FILE...     sign each FILE (.exe, .dll, .msi)
#   scripts/sign.sh --check     exit 0 when a certificate is set, 1 when none is, 2 when half of
#                               one is (a certificate without its key)
set -euo pipefail

NV_SIGN_NAME="Norvik Fingerprint"
NV_SIGN_URL="https://www.norvik.example/fingerprint"

# 0: configured, 1: nothing set, 2: incomplete (says what is missing).
nv_sign_mode() {
    if [ -n "${NV_SIGN_PFX:-}" ]; then
        [ -f "$NV_SIGN_PFX" ] || { echo "sign.sh: NV_SIGN_PFX names no file: $NV_SIGN_PFX" >&2; return 2; }
        return 0
    fi
    if [ -n "${NV_SIGN_CERT:-}" ] || [ -n "${NV_SIGN_KEY:-}" ]; then
        [ -n "${NV_SIGN_CERT:-}" ] && [ -n "${NV_SIGN_KEY:-}" ] ||
            { echo "sign.sh: NV_SIGN_CERT and NV_SIGN_KEY go together" >&2; return 2; }
        [ -f "$NV_SIGN_CERT" ] && [ -f "$NV_SIGN_KEY" ] ||
            { echo "sign.sh: NV_SIGN_CERT or NV_SIGN_KEY names no file" >&2; return 2; }
        return 0
    fi
    return 1
}

if [ "${1:-}" = "--check" ]; then
    nv_sign_mode
    exit $?
fi
[ $# -gt 0 ] || { echo "usage: sign.sh FILE... | --check" >&2; exit 2; }
mode=0
nv_sign_mode || mode=$?
[ $mode -eq 0 ] || { [ $mode -eq 1 ] && echo "sign.sh: no certificate set (NV_SIGN_CERT and NV_SIGN_KEY, or NV_SIGN_PFX)" >&2; exit 2; }
command -v osslsigncode >/dev/null || { echo "sign.sh: osslsigncode is not installed (Debian package osslsigncode)" >&2; exit 1; }

args=(-h sha256 -n "$NV_SIGN_NAME" -i "$NV_SIGN_URL")
if [ -n "${NV_SIGN_PFX:-}" ]; then
    args+=(-pkcs12 "$NV_SIGN_PFX")
    # An empty password is a password too: a PKCS#12 file exported without one still asks.
    args+=(-pass "${NV_SIGN_PFX_PASSWORD:-}")
else
    args+=(-certs "$NV_SIGN_CERT" -key "$NV_SIGN_KEY")
    [ -z "${NV_SIGN_KEY_PASSWORD:-}" ] || args+=(-pass "$NV_SIGN_KEY_PASSWORD")
fi
[ -z "${NV_SIGN_TIMESTAMP_URL:-}" ] || args+=(-ts "$NV_SIGN_TIMESTAMP_URL")

for file in "$@"; do
    signed="$file.signed"
    rm -f "$signed"
    if ! osslsigncode sign "${args[@]}" -in "$file" -out "$signed" >"$file.sign.log" 2>&1; then
        cat "$file.sign.log" >&2
        rm -f "$signed" "$file.sign.log"
        echo "sign.sh: signing $file failed" >&2
        exit 1
    fi
    rm -f "$file.sign.log"
    mv -f "$signed" "$file"
    echo "   signed $(basename "$file")"
done
