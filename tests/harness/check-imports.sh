#!/usr/bin/env bash
# Every Windows binary of the build must run on a bare Windows: it may import system DLLs only,
# never a mingw runtime DLL (libstdc++, libgcc, libwinpthread) or anything else shipped beside it.
#   check-imports.sh OBJDUMP BIN_DIR
set -uo pipefail
objdump=$1
bin_dir=$2
system='^(kernel32|user32|gdi32|advapi32|shell32|shlwapi|msvcrt|comctl32|ole32|oleaut32|oleacc|setupapi|ntdll|uxtheme|dwmapi|msimg32|version|winmm|ws2_32|bcrypt|crypt32|secur32|userenv|wtsapi32|powrprof|cfgmgr32|imm32|comdlg32|gdiplus|windowscodecs|rpcrt4|api-ms-win-.*)\.dll$'
checked=0
bad=0
for binary in "$bin_dir"/*.exe "$bin_dir"/*.dll; do
    [ -f "$binary" ] || continue
    checked=$((checked + 1))
    while read -r dll; do
        if ! tr '[:upper:]' '[:lower:]' <<<"$dll" | grep -qE "$system"; then
            echo "$(basename "$binary") imports $dll"
            bad=$((bad + 1))
        fi
    done < <("$objdump" -p "$binary" | sed -n 's/^[[:space:]]*DLL Name: //p')
done
echo "checked the imports of $checked binaries: $bad not from the system"
[ $checked -gt 0 ] && [ $bad -eq 0 ]
