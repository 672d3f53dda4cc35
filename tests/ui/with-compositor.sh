#!/usr/bin/env bash
# Runs a Windows test program under Wine with xcompmgr compositing its display, so layered
# windows blend as on a real desktop; stops the compositor afterwards.
#   with-compositor.sh PROGRAM.exe [ARGS...]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
program=$1
bin_dir=$(cd "$(dirname "$program")" && pwd)
prefix=${NV_WINEPREFIX:-"$(dirname "$bin_dir")/wineprefix"}
source "$root/scripts/wine-env.sh"
nv_wine_prepare "$prefix"
exec 7>&- 9>&-
command -v xcompmgr >/dev/null || nv_die "xcompmgr is not installed (Debian package xcompmgr)"
xcompmgr -d "$DISPLAY" </dev/null >/dev/null 2>&1 &
compositor=$!
trap 'kill "$compositor" 2>/dev/null || true' EXIT
sleep 1
NV_COMPOSITOR=1 NV_WINEPREFIX="$prefix" "$root/scripts/wine-run.sh" "$@"
