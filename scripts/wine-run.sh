#!/usr/bin/env bash
# Runs a Windows program under Wine for the Windows build's tests (CMake's cross-compiling
# emulator) and for the scripts: in the build's own prefix, made on first use, quietly, and on an
# Xvfb display of its own when none is set. Fails loudly when Wine or the prefix is not there.
#
#   wine-run.sh PROGRAM.exe [ARGS...]
#
# NV_WINEPREFIX overrides the prefix (default: <build>/wineprefix, <build> being the folder above
# the program's bin/ folder).
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=scripts/wine-env.sh
source "$here/wine-env.sh"

[ $# -ge 1 ] || { echo "usage: wine-run.sh PROGRAM.exe [ARGS...]" >&2; exit 2; }
program=$1
shift

if [ -z "${NV_WINEPREFIX:-}" ]; then
    bin_dir=$(cd "$(dirname "$program")" && pwd)
    NV_WINEPREFIX="$(dirname "$bin_dir")/wineprefix"
fi
nv_wine_prepare "$NV_WINEPREFIX"
exec 7>&- 9>&-

# Wine's own background processes (the wine server, services, the desktop) inherit the standard
# handles of the program that started them and outlive it; whoever reads our output would then
# never see its end. So the program writes into files, which are passed on once it has ended.
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
set +e
"$NV_WINE" "$program" "$@" >"$out/stdout" 2>"$out/stderr"
rc=$?
set -e
cat "$out/stdout"
# Debian's wrapper says on every run that the 32-bit half is missing; this project is 64-bit only.
grep -v -E 'wine32 is missing|multiarch needs to be enabled|dpkg --add-architecture|apt-get install wine32' \
    "$out/stderr" >&2 || true
exit $rc
