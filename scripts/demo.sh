#!/usr/bin/env bash
# The main job: builds NorvikFingerprint.exe and shows it working with the simulated sensor.
#
#   scripts/demo.sh [--headless] [--auto] [--dpi N]
#
# It installs what is missing, builds the windows preset, and prepares a Wine prefix of its own
# (build/demo/wineprefix): the simulated biometric service with one sensor of vendor 0x2F1B, a
# template database holding this prefix's user and one other account, "ShowWelcome" = 0 and a
# pending password hand-off for the user. Then it starts the program.
#
# With a display ($DISPLAY set, no --headless) you use the window yourself; the script prints the
# winbio-sim commands that touch the sensor, give a bad sample or unplug it (--auto: the
# simulator touches by itself). Without one it runs the program on an Xvfb display of its own with
# a compositing manager (so the dimming overlay dims), walks a tour with the GUI driver (an
# enrolment, the same finger refused, Clear, the sensor unplugged), saves a screenshot of each
# step in build/demo/screenshots/ and a contact sheet of them all, build/demo/tour.png. Either way
# it ends by showing with `nvkdb dump` that the hand-off password was applied.
#
# --dpi N sets the prefix's display scale (LogPixels) before the program starts: 96 (100 %, the
# default), 120, 144 (150 %) or 192 (200 %), or any other; the program is then laid out at N/96.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

headless=0
auto=0
dpi=96
while [ $# -gt 0 ]; do
    case "$1" in
        --headless) headless=1 ;;
        --auto) auto=1 ;;
        --dpi)
            [ $# -ge 2 ] || { echo "demo.sh: --dpi needs a number" >&2; exit 2; }
            dpi=$2
            shift
            ;;
        -h | --help) sed -n '2,20p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "demo.sh: unknown option $1 (try --help)" >&2; exit 2 ;;
    esac
    shift
done
case "$dpi" in '' | *[!0-9]*) echo "demo.sh: --dpi takes a number of dots per inch, such as 144" >&2; exit 2 ;; esac
if [ "$dpi" -lt 72 ] || [ "$dpi" -gt 480 ]; then
    echo "demo.sh: --dpi $dpi is out of 72..480" >&2
    exit 2
fi
[ -n "${DISPLAY:-}" ] || headless=1

source scripts/deps.sh
nv_install_deps
echo "== Building (windows preset; log in build/logs/demo-build.log)"
mkdir -p build/logs
if ! { cmake --preset windows && cmake --build --preset windows -j "$(nproc)"; } >build/logs/demo-build.log 2>&1; then
    tail -n 30 build/logs/demo-build.log
    echo "demo.sh: the build failed" >&2
    exit 1
fi

bin="$root/build/windows/bin"
demo="$root/build/demo"
shots="$demo/screenshots"
prefix="$demo/wineprefix"
mkdir -p "$demo"
[ $headless -eq 1 ] && unset DISPLAY
# Room for the main window at 200 % (1432x1040) and the boxes around it.
screen_width=1920 screen_height=1440
export NV_XVFB_SCREEN="${screen_width}x${screen_height}x24"
source scripts/wine-env.sh
echo "== Preparing the Wine prefix $prefix"
nv_wine_prepare "$prefix"
exec 7>&- 9>&-
# Set on every run, so that a scale chosen before does not stay.
echo "== Display scale $dpi dpi ($((dpi * 100 / 96)) %)"
nv_wine_set_dpi "$prefix" "$dpi"
# The simulator's winbio.dll comes from build/windows/bin, which is not beside this prefix.
cp -p "$bin/winbio.dll" "$prefix/drive_c/windows/system32/winbio.dll"
trap 'nv_wine_shutdown "$prefix"' EXIT

w() { "$NV_WINE" "$@" 2>/dev/null </dev/null | tr -d '\r'; }
sim() { w "$bin/winbio-sim.exe" "$@"; }
drive() { w "$bin/guidriver.exe" "$@"; }
nvkdb() { w "$bin/nvkdb.exe" "$@"; }

user=$(w cmd.exe /c echo %USERNAME%)
db='C:\ProgramData\NorvikWbf\NVKDB.edb'
handoff='C:\ProgramData\NorvikWbf\pwcn.dat'
# The hand-off record carries at most 16 UTF-16 units of password.
new_password='new-pass-2026'

sim reset >/dev/null
sim units 'USB\VID_2F1B&PID_0106\5&1a2b3c4d&0&1|Norvik Fingerprint Sensor|Norvik|FP-106|0001|1.6' >/dev/null
w cmd.exe /c mkdir 'C:\ProgramData\NorvikWbf' >/dev/null || true
nvkdb create "$db" --force >/dev/null
nvkdb account "$db" 0 --user "$user" --password old-password >/dev/null
nvkdb account "$db" 1 --user someone-else --password their-password >/dev/null
w reg.exe add 'HKCU\SOFTWARE\NORVIK\Printkeep' /v ShowWelcome /t REG_DWORD /d 0 /f >/dev/null
w "$bin/pwcn.exe" "$handoff" --user "$user" --password "$new_password" >/dev/null
echo "   sensor USB\\VID_2F1B&PID_0106, database with \"$user\" and \"someone-else\", ShowWelcome = 0,"
echo "   hand-off file giving \"$user\" the password \"$new_password\""

show_database() {
    echo "== The database after the program ran (nvkdb dump --show-passwords)"
    nvkdb dump "$db" --show-passwords | sed 's/^/   /'
    if [ -f "$prefix/drive_c/ProgramData/NorvikWbf/pwcn.dat" ]; then
        echo "   the hand-off file is still there: it was not applied"
    elif nvkdb dump "$db" --show-passwords | grep -q "$new_password"; then
        echo "   => the hand-off file was applied (password \"$new_password\") and deleted"
    fi
}

compositor=""
if [ $headless -eq 1 ]; then
    # Without a compositing manager X draws a layered window opaque: the overlay that dims the
    # main window under a dialog would be plain black in every screenshot.
    command -v xcompmgr >/dev/null || nv_die "xcompmgr is not installed (Debian package xcompmgr)"
    xcompmgr -d "$DISPLAY" </dev/null >/dev/null 2>&1 &
    compositor=$!
    trap 'kill "$compositor" 2>/dev/null || true; nv_wine_shutdown "$prefix"' EXIT
    sleep 1
fi

"$NV_WINE" "$bin/NorvikFingerprint.exe" </dev/null >/dev/null 2>&1 &
program=$!

if [ $headless -eq 0 ]; then
    [ $auto -eq 1 ] && sim auto on >/dev/null
    cat <<EOF
== NorvikFingerprint.exe runs on $DISPLAY. Drive the sensor from another terminal:
   export WINEPREFIX=$prefix
   wine $bin/winbio-sim.exe touch finger-a     # a good sample of a finger
   wine $bin/winbio-sim.exe bad                # an unusable sample
   wine $bin/winbio-sim.exe auto on            # touches happen by themselves
   wine $bin/winbio-sim.exe remove             # unplug the sensor (the program ends)
   wine $bin/winbio-sim.exe list               # the enrolments in the pool
An enrolment takes 8 good samples of the same finger. Close the window to end the demo.
EOF
    wait $program || true
    show_database
    exit 0
fi

echo "== Headless tour on Xvfb $DISPLAY; screenshots in $shots"
rm -rf "$shots" "$demo/tour.png"
mkdir -p "$shots"
main=(--title "Norvik Fingerprint" --has-control 1232) # boxes carry their titles too
step=0
shot() {
    step=$((step + 1))
    local file
    file=$(printf '%s/%02d-%s.png' "$shots" "$step" "$1")
    drive screenshot "${main[@]}" "$(w winepath.exe -w "$file")" >/dev/null || echo "   (screenshot $1 failed)"
    [ -f "$file" ] && echo "   $file"
}
count_is() {
    local i
    for i in $(seq 1 150); do
        drive list "${main[@]}" --timeout 1000 | grep -q "^id=1207 .*text=\"$1\"" && return 0
        sleep 0.2
    done
    echo "demo.sh: the count never showed \"$1\"" >&2
    return 1
}
# Under Xvfb the window is repainted a moment after the overlay over it has gone.
painted() {
    local i
    for i in $(seq 1 50); do
        [ "$(drive pixel "${main[@]}" $((700 * dpi / 96)) $((300 * dpi / 96)))" = "F0F0F0" ] && return 0
        sleep 0.2
    done
}
fail() {
    echo "demo.sh: $*" >&2
    kill "$program" 2>/dev/null || true
    exit 1
}

drive wait "${main[@]}" --timeout 30000 >/dev/null || fail "the main window did not appear"
count_is ' 0/10' || fail "the start-up chain did not finish"
echo "   main window: $(drive rect "${main[@]}")"
drive move-screen 2 $((screen_height - 4)) >/dev/null
sleep 0.5
shot main-window

# An enrolment of finger-a, touched by hand: one touch to see whether it is enrolled already,
# then the eight samples, the progress picture shown half-way.
# Each touch waits until the dialog asks for a sample, as a finger on a real sensor would.
touch_finger() { sim touch --wait 10000 finger-a >/dev/null || fail "a touch found no request waiting"; }
drive click "${main[@]}" --id 1223 >/dev/null || fail "could not click Enroll"
drive wait --has-control 1228 --timeout 20000 >/dev/null || fail "the enrolment dialog did not open"
sleep 0.8
shot enroll-dialog
for _ in 1 2 3 4 5; do touch_finger; done
sleep 0.8
shot enroll-progress
# A sample the sensor refuses as too fast: the dialog says what to do differently, until the next
# good sample.
sim bad --wait 10000 5 >/dev/null || fail "the refused sample found no request waiting"
sleep 0.8
shot refused-sample
for _ in 1 2 3 4; do touch_finger; done
drive wait --has-control 1169 --timeout 30000 >/dev/null || fail "no success box"
sleep 0.5
shot success-box
drive click --has-control 1169 --id 1171 >/dev/null || fail "could not click OK"
count_is ' 1/10' || fail "the new finger was not counted"
drive move-screen 2 $((screen_height - 4)) >/dev/null
painted
sleep 0.3
shot count-one

# The same finger again: the first touch finds it enrolled, and the enrolment is refused.
drive click "${main[@]}" --id 1223 >/dev/null || fail "could not click Enroll"
drive wait --has-control 1228 --timeout 20000 >/dev/null || fail "the enrolment dialog did not open"
sleep 0.8
touch_finger
drive wait --has-control 1169 --timeout 20000 >/dev/null || fail "the enrolled finger was not refused"
sleep 0.5
shot already-enrolled
drive click --has-control 1169 --id 1171 >/dev/null || fail "could not click OK"
drive wait-gone --has-control 1228 --timeout 20000 >/dev/null || fail "the enrolment dialog stayed"
count_is ' 1/10' || fail "the refused finger changed the count"

drive click "${main[@]}" --id 1224 >/dev/null || fail "could not click Clear"
count_is ' 0/10' || fail "Clear did not empty the count"
drive move-screen 2 $((screen_height - 4)) >/dev/null
painted
sleep 0.5
shot after-clear

# The sensor unplugged under the open window: the program says so and ends once it is read.
sim remove >/dev/null
drive wait --has-control 1169 --timeout 20000 >/dev/null || fail "no removal message"
sleep 0.5
shot sensor-removed
drive click --has-control 1169 --id 1171 >/dev/null || fail "could not click OK"
for _ in $(seq 1 50); do
    kill -0 "$program" 2>/dev/null || break
    sleep 0.2
done
kill -0 "$program" 2>/dev/null && fail "the program did not end after the removal message"
wait $program || true
echo "== The pool afterwards (winbio-sim list): $(sim list | wc -l) enrolments"
show_database

# One picture of the whole tour, each tile named after its step.
sheet="$demo/tour.png"
# The font is named: ImageMagick's default one comes with Ghostscript, which is not installed.
montage -label '%t' "$shots"/*.png -tile 4x -geometry '640x+12+12' -font DejaVu-Sans -pointsize 20 \
    -background '#e8e8e8' -depth 8 "$sheet" || fail "montage could not make the contact sheet"
echo "Screenshots of the tour: $shots"
echo "Contact sheet of the tour: $sheet"
