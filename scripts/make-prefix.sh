#!/usr/bin/env bash
# Makes (or refreshes) a Wine prefix with the simulated biometric service installed: the build's
# winbio.dll and winbio-sim.exe in its system32, so programs load the simulator as they would
# load the framework and `wine winbio-sim.exe ...` works from anywhere in the prefix.
#
#   make-prefix.sh [PREFIX] [BUILD]
#
# PREFIX defaults to <BUILD>/wineprefix (the prefix the Windows tests use); BUILD to build/windows.
# Prints the prefix; use it as WINEPREFIX=... wine winbio-sim.exe list.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=scripts/wine-env.sh
source "$root/scripts/wine-env.sh"

build=${2:-$root/build/windows}
prefix=${1:-$build/wineprefix}
bin="$build/bin"
for file in winbio.dll winbio-sim.exe; do
    [ -f "$bin/$file" ] || nv_die "$bin/$file is missing: build the windows preset first"
done

mkdir -p "$(dirname "$prefix")"
prefix=$(cd "$(dirname "$prefix")" && pwd)/$(basename "$prefix")
nv_wine_prepare "$prefix"
system32="$prefix/drive_c/windows/system32"
for file in winbio.dll winbio-sim.exe; do
    if [ "$bin/$file" -nt "$system32/$file" ]; then
        cp -p "$bin/$file" "$system32/$file.nv-new"
        mv -f "$system32/$file.nv-new" "$system32/$file"
    fi
done
exec 7>&- 9>&-
echo "$prefix"
