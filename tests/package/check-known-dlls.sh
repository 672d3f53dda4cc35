#!/usr/bin/env bash
# The deliverables import only Known DLLs: the loader takes those from System32 whatever folder the
# program or the DLL sits in, so nothing beside NorvikFingerprint.exe (an unzipped release in a
# Downloads folder) or beside NVDCoInstaller.dll (a driver package's folder) is loaded before the
# program's first instruction. Everything else is loaded at run time, from System32 only.
#   check-known-dlls.sh OBJDUMP BINARY...
set -uo pipefail
objdump=$1
shift
# The names both Windows 7 and Windows 10 list under HKLM\System\CurrentControlSet\Control\
# Session Manager\KnownDLLs, of those a program of ours could want: kernel32, user32, gdi32,
# advapi32 (the core), ole32 and oleaut32 (COM), shell32 and shlwapi (the shell), msvcrt (the C
# runtime mingw links against), setupapi, rpcrt4, imm32, comdlg32, ws2_32. ntdll is no Known DLL
# but the kernel maps it into every process before anything is searched. Missing on purpose, as
# no Known DLLs: comctl32 (side by side), oleacc, uxtheme, version, winbio, dwmapi, bcrypt,
# crypt32; and the api-ms-win-* sets, which our toolchain does not link against.
known='^(kernel32|user32|gdi32|advapi32|ole32|oleaut32|shell32|shlwapi|msvcrt|setupapi|rpcrt4|imm32|comdlg32|ws2_32|ntdll)\.dll$'
bad=0
for binary in "$@"; do
    imports=$("$objdump" -p "$binary" | sed -n 's/^[[:space:]]*DLL Name: //p')
    [ -n "$imports" ] || { echo "$(basename "$binary"): no import table"; bad=$((bad + 1)); continue; }
    while read -r dll; do
        if tr '[:upper:]' '[:lower:]' <<<"$dll" | grep -qE "$known"; then
            echo "$(basename "$binary") imports $dll"
        else
            echo "$(basename "$binary") imports $dll, which is not a Known DLL"
            bad=$((bad + 1))
        fi
    done <<<"$imports"
done
echo "$# binaries: $bad imports that are not Known DLLs"
[ $# -gt 0 ] && [ $bad -eq 0 ]
