# What the package tests share: a fresh Wine prefix with the simulated sensor holding one finger of
# the user's, and the program started as a user starts it, its count read off its window. Source
# it after setting root, build and work; call nv_pkg_cleanup from the EXIT trap.
program_pid=""
prefix="$work/wineprefix"
source "$root/scripts/wine-env.sh"

fail() {
    echo "FAILED: $*" >&2
    exit 1
}

nv_pkg_cleanup() {
    [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
    [ -d "$prefix" ] && nv_wine_shutdown "$prefix"
    rm -rf "$work"
}

w() { "$NV_WINE" "$@" 2>/dev/null </dev/null | tr -d '\r'; }

nv_pkg_prefix() {
    echo "== a fresh prefix with the simulated sensor"
    "$root/scripts/make-prefix.sh" "$prefix" "$build" >"$work/prefix.log" 2>&1 ||
        { cat "$work/prefix.log"; fail "make-prefix.sh"; }
    nv_wine_prepare "$prefix"
    exec 7>&- 9>&-
    w winbio-sim.exe reset >/dev/null || fail "winbio-sim reset"
    w winbio-sim.exe enroll . 3 finger-a >/dev/null || fail "winbio-sim enroll"
}

# nv_pkg_run_program EXE [ACCESSIBLE]: starts EXE (a Windows path or a host path), waits for its
# window to show the one enrolled finger, and closes it. The environment of the call reaches the
# program (WINEDLLOVERRIDES, for one). ACCESSIBLE (any word): before closing, the count label is
# asked for its accessible object as a screen reader asks (WM_GETOBJECT, OBJID_CLIENT), which
# loads oleacc in the program; the answer must be an object.
nv_pkg_run_program() {
    local exe=$1 accessible=${2:-}
    "$NV_WINE" "$exe" </dev/null >"$work/program.log" 2>&1 &
    program_pid=$!
    local driver="$build/bin/guidriver.exe"
    w "$driver" wait --title "Norvik Fingerprint" --timeout 60000 >/dev/null || fail "the main window did not appear"
    local count=""
    for _ in $(seq 1 100); do
        count=$(w "$driver" list --title "Norvik Fingerprint" --timeout 1000 | sed -n 's/^id=1207 .*text="\(.*\)"$/\1/p')
        [ "$count" = " 1/10" ] && break
        sleep 0.2
    done
    echo "count: \"$count\""
    [ "$count" = " 1/10" ] || fail "the count shows \"$count\", not \" 1/10\""
    if [ -n "$accessible" ]; then
        local answer
        answer=$(w "$driver" send --title "Norvik Fingerprint" --id 1207 --message 0x3D --lparam 0xFFFFFFFC) ||
            fail "WM_GETOBJECT was not answered"
        echo "WM_GETOBJECT to the count: $answer"
        [ "${answer:-0}" -gt 0 ] || fail "the count gave no accessible object (LresultFromObject: $answer)"
    fi
    w "$driver" post --title "Norvik Fingerprint" --message 0x10 >/dev/null # WM_CLOSE
    for _ in $(seq 1 50); do
        kill -0 "$program_pid" 2>/dev/null || break
        sleep 0.2
    done
    kill -0 "$program_pid" 2>/dev/null && fail "the program did not end when its window was closed"
    program_pid=""
}
