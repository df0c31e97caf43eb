#!/usr/bin/env bash
# End-to-end run of the Windows program under Wine:
#   tests/win32_e2e.sh SOURCE_DIR WORK_DIR
# Cross-builds starvane.exe into WORK_DIR/build, starts a private X server and
# a fresh Wine prefix whose default desktop is a 1024x768 virtual desktop, and
# runs the program there. Checks, from screenshots: the banner's pale cyan
# text in the strip, lit pixels around the centre (the grand burst), black
# rows below the picture; then that the show draws again after the viewer
# switches away and back (its surfaces are lost meanwhile); then that Escape
# ends it with status 0. Screenshots are kept in WORK_DIR.
# Exit 77 (skipped) when the cross compiler, Wine or the X tools are missing.
set -uo pipefail

src=$(cd "$1" && pwd)
out=$2
mkdir -p "$out"
out=$(cd "$out" && pwd)

for tool in x86_64-w64-mingw32-g++ x86_64-w64-mingw32-gcc wine wineserver Xvfb xdotool import; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "skipped: $tool is not installed (tools/dev.sh test installs it)"
        exit 77
    fi
done
# ImageMagick's own convert; an earlier one on PATH may be something else.
convert=/usr/bin/convert
[ -x "$convert" ] || convert=$(command -v convert)

fail() {
    echo "FAIL: $*"
    exit 1
}
log() { echo "[$(date +%T)] $*"; }

log "cross build"
cmake -S "$src" -B "$out/build" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release >"$out/configure.log" 2>&1 || { cat "$out/configure.log"; fail "configure"; }
cmake --build "$out/build" -j2 --target starvane >"$out/build.log" 2>&1 || { tail -40 "$out/build.log"; fail "build"; }
exe=$out/build/starvane.exe
[ -f "$exe" ] || fail "no $exe"
x86_64-w64-mingw32-gcc -O2 -Wall -Wextra -o "$out/switch_away.exe" "$src/tests/win32/switch_away.c" ||
    fail "helper build"

work=$(mktemp -d /tmp/starvane-wine.XXXXXX)
xvfb_pid=""
cleanup() {
    WINEPREFIX=$work/prefix wineserver -k >/dev/null 2>&1
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# A private X server on the first free display number.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
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
# Every program of this prefix runs inside one 1024x768 virtual desktop, so
# plain `wine program.exe` shows there and hands back the program's status.
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1 || fail "registry"
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1 || fail "registry"
wineserver -w
# Bring the desktop up before the show, so that the show's window creation
# never races its start.
wine explorer /desktop=Default,1024x768 >"$work/explorer.log" 2>&1 &
for _ in $(seq 300); do
    xdotool search --name 'Wine desktop' >/dev/null 2>&1 && break
    sleep 0.1
done
xdotool search --name 'Wine desktop' >/dev/null 2>&1 || fail "the Wine desktop did not come up"

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

cp "$exe" "$work/starvane.exe"
log "start the show"
# Wine's own error reports land in starvane.out with the show's output.
(cd "$work" && WINEDEBUG=-all,err+all wine starvane.exe >"$out/starvane.out" 2>&1; echo $? >"$work/status") &

# The banner, "___Press 'H' For Help " at (1, 5) in 0x62F8F8, shows for
# about 5.5 s; the first frames put the grand burst in the middle below it.
banner=0 lit=0
for i in $(seq 120); do
    shot "$work/shot.png"
    if [ "$(count_color "$work/shot.png" 300x25+0+0 '#62F8F8')" -ge 100 ]; then
        banner=1
        lit=$(count_lit "$work/shot.png" 400x300+312+234)
        [ "$lit" -ge 500 ] && break
    elif [ "$banner" = 1 ]; then
        break
    fi
    [ -f "$work/status" ] && break
    sleep 0.25
done
[ -f "$work/shot.png" ] && cp "$work/shot.png" "$out/win32_e2e_banner.png"
if [ "$banner" != 1 ]; then
    cat "$out/starvane.out"
    [ -f "$work/status" ] && fail "the program ended early with status $(cat "$work/status")"
    fail "no banner in the text strip (last screenshot: $out/win32_e2e_banner.png)"
fi
[ "$lit" -ge 500 ] || fail "only $lit lit pixels around the centre while the banner showed"
bottom=$(max_value "$out/win32_e2e_banner.png" 1024x25+0+743)
[ "$bottom" -eq 0 ] || fail "rows 743 to 767 are not black (brightest $bottom)"
log "banner, $lit lit pixels around the centre and black bottom rows after $i screenshots"

# Away and back: the surfaces are lost while the show is in the background;
# restored, it draws again, so the picture changes between two screenshots.
log "switch away and back"
(cd "$work" && wine "$out/switch_away.exe" 1500) || fail "switching away and back (status $?)"
sleep 1
shot "$work/after1.png"
sleep 1.5
shot "$work/after2.png"
cp "$work/after2.png" "$out/win32_e2e_after_switch.png"
[ -f "$work/status" ] && fail "the program ended while in the background"
changed=$("$convert" "$work/after1.png" "$work/after2.png" -crop 1024x718+0+25 +repage -compose difference \
    -composite -separate -evaluate-sequence max -threshold 0 -format '%[fx:round(mean*w*h)]' info:)
[ "$changed" -ge 1000 ] || fail "the picture is frozen after switching back ($changed pixels changed)"
log "after switching back: $changed pixels changed in 1.5 s"

log "Escape"
xdotool key Escape
for _ in $(seq 100); do
    [ -f "$work/status" ] && break
    sleep 0.1
done
[ -f "$work/status" ] || fail "the program did not end within 10 s of Escape"
status=$(cat "$work/status")
cat "$out/starvane.out"
[ "$status" = 0 ] || fail "exit status $status after Escape"
log "ended with status 0"
echo "win32_e2e: 1 passed, 0 failed"
