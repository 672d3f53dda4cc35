#!/usr/bin/env bash
# Switches the Windows version that Wine reports and checks the probe's level and class for each;
# restores the prefix's version afterwards.
#   version-matrix.sh WINE_RUN PROBE.exe
set -uo pipefail
wine_run=$1
probe=$2
winecfg_exe=winecfg.exe
# The system programs have no build folder of their own: use the probe's prefix.
export NV_WINEPREFIX="$(dirname "$(dirname "$probe")")/wineprefix"

# Wine names versions win7, win8, win81, win10; expected: level and class.
expected=("win7 3 3" "win8 4 3" "win81 5 6" "win10 6 6")
original=$("$wine_run" reg.exe query 'HKLM\Software\Microsoft\Windows NT\CurrentVersion' /v CurrentVersion 2>/dev/null |
    sed -n 's/.*REG_SZ[[:space:]]*\([0-9.]*\).*/\1/p' | tr -d '\r')
case "$original" in
    6.1) restore=win7 ;; 6.2) restore=win8 ;; 6.3) restore=win81 ;; 10.0) restore=win10 ;; *) restore=win7 ;;
esac
trap '"$wine_run" "$winecfg_exe" -v "$restore" >/dev/null 2>&1' EXIT

failures=0
for row in "${expected[@]}"; do
    read -r version level class <<<"$row"
    "$wine_run" "$winecfg_exe" -v "$version" >/dev/null 2>&1 || { echo "winecfg -v $version failed"; failures=$((failures + 1)); continue; }
    out=$("$wine_run" "$probe" | tr -d '\r')
    got_level=$(sed -n 's/^level //p' <<<"$out")
    got_class=$(sed -n 's/^class //p' <<<"$out")
    echo "$version: $(tr '\n' ' ' <<<"$out")"
    if [ "$got_level" != "$level" ] || [ "$got_class" != "$class" ]; then
        echo "  expected level $level class $class"
        failures=$((failures + 1))
    fi
done
echo "version matrix: $((4 - failures)) of 4 as expected"
[ $failures -eq 0 ]
