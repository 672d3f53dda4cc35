#!/usr/bin/env bash
# Runs a Windows test program in a prefix of its own set to a display scale, as a person sets it
# (LogPixels), on a screen large enough for the main window at 200 %. The program learns the
# scale it should find from NV_TEST_DPI.
#   at-dpi.sh DPI PROGRAM.exe [ARGS...]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
dpi=$1
program=$2
shift 2
bin_dir=$(cd "$(dirname "$program")" && pwd)
prefix="$(dirname "$bin_dir")/wineprefix-dpi$dpi"
export NV_XVFB_SCREEN=1920x1440x24
source "$root/scripts/wine-env.sh"
nv_wine_prepare "$prefix"
exec 7>&- 9>&-
nv_wine_set_dpi "$prefix" "$dpi"
# Only this test uses the prefix: its wine server and display go when it ends.
trap 'nv_wine_shutdown "$prefix"' EXIT
NV_TEST_DPI="$dpi" NV_WINEPREFIX="$prefix" "$root/scripts/wine-run.sh" "$program" "$@"
