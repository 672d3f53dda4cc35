# Shared by the scripts that run Windows programs: finds Wine, makes a prefix once (under a lock,
# so parallel tests wait for the first one), and provides a display. Source it, then call
# nv_wine_prepare PREFIX; it exports WINEPREFIX, WINEDEBUG, WINEDLLOVERRIDES and DISPLAY.

nv_die() { echo "wine-env: $*" >&2; exit 1; }

nv_find_wine() {
    NV_WINE=""
    for candidate in wine wine64 /usr/lib/wine/wine64; do
        if command -v "$candidate" >/dev/null 2>&1; then
            NV_WINE=$(command -v "$candidate")
            break
        fi
    done
    [ -n "$NV_WINE" ] || nv_die "Wine is not installed (Debian packages wine and wine64); scripts/test.sh installs it"
    export NV_WINE
}

# A display for windows: the caller's, or one Xvfb per prefix that stays up for later runs and
# is stopped by nv_wine_shutdown. NV_XVFB_SCREEN sets its size (WIDTHxHEIGHTxDEPTH); the default
# holds the main window up to 150 %, at 200 % (1432x1040) it needs a larger one.
nv_ensure_display() {
    local prefix=$1
    if [ -n "${DISPLAY:-}" ]; then
        return
    fi
    command -v Xvfb >/dev/null 2>&1 || nv_die "no DISPLAY and Xvfb is not installed (Debian package xvfb)"
    local state="$prefix.xvfb"
    exec 9>"$state.lock"
    flock 9
    if [ -f "$state" ]; then
        local pid display
        read -r pid display <"$state" || true
        if [ -n "${pid:-}" ] && kill -0 "$pid" 2>/dev/null; then
            export DISPLAY=":$display"
            flock -u 9
            return
        fi
    fi
    local fifo
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    setsid Xvfb -displayfd 8 -screen 0 "${NV_XVFB_SCREEN:-1280x1024x24}" -nolisten tcp 8>"$fifo" >/dev/null 2>&1 &
    local xpid=$!
    local display=""
    read -r -t 20 display <"$fifo" || true
    rm -f "$fifo"
    [ -n "$display" ] || nv_die "Xvfb did not start"
    echo "$xpid $display" >"$state"
    export DISPLAY=":$display"
    flock -u 9
}

nv_wine_prepare() {
    local prefix=$1
    nv_find_wine
    mkdir -p "$(dirname "$prefix")"
    export WINEPREFIX="$prefix"
    export WINEDEBUG="${NV_WINEDEBUG:--all}"
    # No Mono or Gecko installer dialogs, ever.
    export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
    export WINEARCH=win64
    nv_ensure_display "$prefix"
    exec 7>"$prefix.lock"
    flock 7
    if [ ! -f "$prefix/.nv-ready" ]; then
        rm -rf "$prefix"
        if ! "$NV_WINE" wineboot --init >"$prefix.boot.log" 2>&1; then
            cat "$prefix.boot.log" >&2
            nv_die "could not make the Wine prefix $prefix"
        fi
        wineserver -w 2>/dev/null || true
        [ -f "$prefix/system.reg" ] || { cat "$prefix.boot.log" >&2; nv_die "wineboot made no prefix at $prefix"; }
        # No debugger for a crashing program: Wine would start winedbg and wait for it for ever.
        # A debugger that cannot be started makes the crash end the process with its exception.
        "$NV_WINE" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger \
            /t REG_SZ /d 'nv-no-debugger.exe %ld %ld' /f >>"$prefix.boot.log" 2>&1 || true
        nv_prefix_setup "$prefix"
        touch "$prefix/.nv-ready"
    fi
    # Keyboard cues as Windows ships them: hidden until the keyboard is used. Wine's default shows
    # them at all times, which would put a focus cue on every window at rest. Also for a prefix
    # made before this setting was.
    if [ ! -f "$prefix/.nv-keyboard-cues" ]; then
        "$NV_WINE" reg add 'HKCU\Control Panel\Desktop' /v UserPreferencesMask /t REG_BINARY \
            /d 1000028012000000 /f >/dev/null 2>&1 || nv_die "could not set the keyboard cues of $prefix"
        touch "$prefix/.nv-keyboard-cues"
    fi
    nv_install_simulator "$prefix"
    flock -u 7
    # Keep the wine server up between the many short test processes, detached from our output.
    wineserver -p 30 </dev/null >/dev/null 2>&1 || true
}

# The build's simulated winbio.dll (<build>/bin, beside the prefix) belongs in the prefix's system32,
# where programs find the biometric framework; copied again whenever the build's is newer. Renamed
# into place, so a process that has the old one mapped keeps running.
nv_install_simulator() {
    local prefix=$1
    local dll target
    dll="$(dirname "$prefix")/bin/winbio.dll"
    target="$prefix/drive_c/windows/system32/winbio.dll"
    if [ -f "$dll" ] && [ "$dll" -nt "$target" ]; then
        cp -p "$dll" "$target.nv-new" && mv -f "$target.nv-new" "$target"
    fi
}

# The display scale of a prepared prefix, as a person sets it in the Control Panel: the DPI that
# programs read comes from LogPixels, and the prefix's wine server is stopped so that the next
# program starts with it.
nv_wine_set_dpi() {
    local prefix=$1 dpi=$2
    case "$dpi" in '' | *[!0-9]*) nv_die "not a DPI: $dpi" ;; esac
    local key
    for key in 'HKCU\Control Panel\Desktop' 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts'; do
        WINEPREFIX="$prefix" "$NV_WINE" reg add "$key" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1 ||
            nv_die "could not set LogPixels in $prefix"
    done
    WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
    WINEPREFIX="$prefix" wineserver -w 2>/dev/null || true
}

# Hook for what a fresh prefix needs beyond wineboot; scripts that install more redefine it.
nv_prefix_setup() { :; }

# Stops the wine server and the Xvfb of a prefix.
nv_wine_shutdown() {
    local prefix=$1
    WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
    if [ -f "$prefix.xvfb" ]; then
        local pid display
        read -r pid display <"$prefix.xvfb" || true
        [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null || true
        rm -f "$prefix.xvfb"
    fi
}
