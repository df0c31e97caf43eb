# Shared by the Windows end-to-end scripts: the cross build, a private X
# server, a fresh Wine prefix whose programs all run in one virtual desktop
# (1024x768, or `desktop_size` when the script sets it before sourcing), and
# screenshot measures. Sourced with SOURCE_DIR WORK_DIR: sets `src` and
# `out` (where logs and screenshots go, created), and ends the script as
# require_tools.sh says when a tool is missing. Every later step ends it with
# "FAIL: ..." (status 1) when it goes wrong.
set -uo pipefail
desktop_size=${desktop_size:-1024x768}
src=$(cd "$1" && pwd)
out=$2
mkdir -p "$out"
out=$(cd "$out" && pwd)

# ImageMagick's own convert; an earlier one on PATH may be something else.
convert=/usr/bin/convert
[ -x "$convert" ] || convert=$(command -v convert)

fail() {
    echo "FAIL: $*"
    exit 1
}
log() { echo "[$(date +%T)] $*"; }

. "$src/tests/require_tools.sh"
require_tools x86_64-w64-mingw32-g++ x86_64-w64-mingw32-gcc x86_64-w64-mingw32-objdump strings wine wineserver \
    Xvfb xdotool import flock

. "$(dirname "${BASH_SOURCE[0]}")/cross_build.sh"

# Starts Xvfb on the first free display and boots a fresh prefix in a
# temporary directory `work`, which the exit trap removes with everything
# started there. Exports DISPLAY and WINEPREFIX.
start_wine_desktop() {
    work=$(mktemp -d /tmp/starvane-wine.XXXXXX)
    xvfb_pid=""
    trap stop_wine_desktop EXIT

    Xvfb -displayfd 3 -screen 0 "${desktop_size}x24" -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$work/display" ] && break
        sleep 0.1
    done
    [ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
    export DISPLAY=:$(head -n1 "$work/display")

    export WINEPREFIX=$work/prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    log "wineboot on $DISPLAY"
    wineboot -i >"$work/wineboot.log" 2>&1
    wineserver -w
    # Every program of this prefix runs inside one virtual desktop, so plain
    # `wine program.exe` shows there and hands back the status.
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1 || fail "registry"
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "$desktop_size" /f >/dev/null 2>&1 ||
        fail "registry"
    wineserver -w
    # Bring the desktop up before the programs, so that their window
    # creation never races its start.
    wine explorer /desktop=Default,"$desktop_size" >"$work/explorer.log" 2>&1 &
    for _ in $(seq 300); do
        xdotool search --name 'Wine desktop' >/dev/null 2>&1 && break
        sleep 0.1
    done
    xdotool search --name 'Wine desktop' >/dev/null 2>&1 || fail "the Wine desktop did not come up"
}

# From here on the programs run straight on the X server, with no virtual
# desktop: Wine cannot change the display mode there.
leave_wine_desktop() {
    wine reg delete 'HKCU\Software\Wine\Explorer' /v Desktop /f >/dev/null 2>&1 || fail "registry"
    wineserver -k
    wineserver -w
}

stop_wine_desktop() {
    WINEPREFIX=$work/prefix wineserver -k >/dev/null 2>&1
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}

shot() { import -display "$DISPLAY" -window root "$1" 2>/dev/null; }
# Pixels of exactly one colour inside a crop.
count_color() {
    "$convert" "$1" -crop "$2" +repage -format %c histogram:info:- 2>/dev/null |
        awk -v c="$3" 'toupper($0) ~ c { gsub(":", "", $1); n += $1 } END { print n + 0 }'
}
# Pixels inside a crop with some channel above 12% of full scale.
count_lit() {
    "$convert" "$1" -crop "$2" +repage -separate -evaluate-sequence max -threshold 12% \
        -format '%[fx:round(mean*w*h)]' info: 2>/dev/null
}
# Brightest channel value (0 to 255) inside a crop.
max_value() {
    "$convert" "$1" -crop "$2" +repage -format '%[fx:round(255*maxima)]' info: 2>/dev/null
}
# expect_banner STATUS_FILE SHOT OUTPUT: screenshots until the show's banner,
# "___Press 'H' For Help " at (1, 5) in 0x62F8F8, is in the strip with at
# least 500 lit pixels around the centre below it (the grand burst); fails
# when the banner goes or never comes, or STATUS_FILE appears (the program
# ended; OUTPUT is its output). The last screenshot is copied to SHOT. Sets
# lit (pixels around the centre) and i (screenshots taken).
expect_banner() {
    local banner=0
    lit=0
    for i in $(seq 120); do
        shot "$work/shot.png"
        if [ "$(count_color "$work/shot.png" 300x25+0+0 '#62F8F8')" -ge 100 ]; then
            banner=1
            lit=$(count_lit "$work/shot.png" 400x300+312+234)
            [ "$lit" -ge 500 ] && break
        elif [ "$banner" = 1 ]; then
            break
        fi
        [ -f "$1" ] && break
        sleep 0.25
    done
    [ -f "$work/shot.png" ] && cp "$work/shot.png" "$2"
    if [ "$banner" != 1 ]; then
        cat "$3"
        [ -f "$1" ] && fail "the program ended early with status $(cat "$1")"
        fail "no banner in the text strip (last screenshot: $2)"
    fi
    [ "$lit" -ge 500 ] || fail "only $lit lit pixels around the centre while the banner showed"
}
# wait_for FILE TENTHS: true once FILE exists, polling every 0.1 s.
wait_for() {
    local i
    for i in $(seq "$2"); do
        [ -e "$1" ] && return 0
        sleep 0.1
    done
    [ -e "$1" ]
}
# expect_end NAME TENTHS STATUS: the program started as NAME (its status
# written to $work/NAME.status, its output to $out/NAME.out) ends within
# TENTHS tenths of a second with STATUS.
expect_end() {
    wait_for "$work/$1.status" "$2" || { cat "$out/$1.out"; fail "$1 did not end within $(($2 / 10)) s"; }
    local status
    status=$(cat "$work/$1.status")
    [ "$status" = "$3" ] || { cat "$out/$1.out"; fail "$1 ended with status $status, not $3"; }
}
