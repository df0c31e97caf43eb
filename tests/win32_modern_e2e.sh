#!/usr/bin/env bash
# End-to-end run of the scaled presentation under Wine, on a 1920x1080 X
# server:
#   tests/win32_modern_e2e.sh SOURCE_DIR WORK_DIR CROSS_BUILD_DIR
# In a 1920x1080 virtual desktop:
#   /s   with no setting: the show scaled to the full height, 1440 x 1080 at
#        x 240, black bars beside it, the banner's glyphs where the scaled
#        strip puts them, the grand burst at the centre; the display mode
#        (tests/win32/display_mode.c) the same before, during and after; a
#        50-pixel pointer move ends it with status 0;
#   /s   with each present path forced (STARVANE_PRESENT=d3d11, gdi): the
#        same picture, and the path named on stderr;
#   /c   choosing the classic setting and pressing OK saves it; the next /s
#        takes the exclusive 1024 x 768 mode; a corrupt value gives the
#        default, scaled, again.
# Before that, the manifest in both built programs. Then with no virtual
# desktop, where Wine cannot change the display mode:
#   starvane.exe shows the show scaled, says why on one stderr line, fires
#        a burst where a click lands on the scaled picture, and Escape ends
#        it with status 0; the classic /s does the same.
# Screenshots are kept in WORK_DIR. Exit 77 (skipped) when a tool is missing.
set -uo pipefail

desktop_size=1920x1080
. "$(dirname "$0")/win32/wine_session.sh" "$1" "$2"

log "cross build"
cross_build "$3" starvane starvane_scr
for program in starvane.exe starvane.scr; do
    [ -f "$3/$program" ] || fail "no $3/$program"
done
x86_64-w64-mingw32-gcc -O2 -Wall -Wextra -o "$out/display_mode.exe" "$src/tests/win32/display_mode.c" ||
    fail "helper build"

# The manifest is resource 1 of type 24 (RT_MANIFEST) in both programs, and
# asks for per-monitor-v2 DPI awareness, common controls 6 and Windows 10
# and 11. Wine ignores it, so this is all that can be checked here.
# (Whole outputs go to files first: grep -q leaves a pipe early, which
# pipefail would count as a failure of the writer.)
for program in starvane.exe starvane.scr; do
    x86_64-w64-mingw32-objdump -p "$3/$program" | sed -n '/Resource Directory section/,/^$/p' \
        >"$out/$program.resources"
    grep -A2 'Entry: ID: 0x000018,' "$out/$program.resources" | grep -q 'Entry: ID: 0x000001,' ||
        fail "$program has no manifest resource"
    strings -n 8 "$3/$program" | tr -s ' ' >"$out/$program.strings"
    for text in '<dpiAwareness[^>]*>PerMonitorV2' 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' \
        '<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>'; do
        grep -q "$text" "$out/$program.strings" || fail "$program's manifest lacks $text"
    done
done
log "both programs carry the manifest"

start_wine_desktop
cp "$3/starvane.exe" "$3/starvane.scr" "$work/"
passed=0

# run NAME PROGRAM ARGS...: starts PROGRAM in the background, with the
# environment's STARVANE_PRESENT; its output goes to $out/NAME.out and its
# status, once it ends, to $work/NAME.status.
run() {
    local name=$1
    shift
    rm -f "$work/$name.status"
    (cd "$work" && wine "$@" >"$out/$name.out" 2>&1
        echo $? >"$work/$name.status") &
}
# The output without Wine's CR.
says() { tr -d '\r' <"$out/$1.out"; }
mode() { (cd "$work" && wine "$out/display_mode.exe" | tr -d '\r'); }

# The picture's place: 1024 x 768 scaled by 1080 / 768 is 1440 x 1080 at
# x 240. At 1:1 the banner's glyphs fill the box 152x14+1+7, so here they
# fill about 214x20+241+10.
banner_box() {
    "$convert" "$1" -crop 1920x33+0+0 +repage -channel R -negate +channel -separate -evaluate-sequence min \
        -threshold 45% -format '%@' info: 2>/dev/null
}
near() { [ $(($1 - $2)) -le 3 ] && [ $(($2 - $1)) -le 3 ]; }
banner_in_place() {
    local w h x y
    IFS='x+' read -r w h x y <<<"$(banner_box "$1")"
    near "$w" 214 && near "$h" 20 && near "$x" 241 && near "$y" 10
}
# Screenshots as PPM: at this size PNG's compression costs more than the
# checks; the one kept is made PNG.
grab() { import -display "$DISPLAY" -window root "$1" 2>/dev/null; }

# expect_scaled NAME SHOT: screenshots until the banner is in its scaled
# place and at least 500 pixels are lit around the centre (the grand burst);
# then the bars beside the picture must be black. Fails when the program
# ends first or this never comes.
expect_scaled() {
    local i lit=0 placed=0
    for i in $(seq 80); do
        grab "$work/shot.ppm"
        if banner_in_place "$work/shot.ppm"; then
            placed=1
            lit=$(count_lit "$work/shot.ppm" 600x450+660+315)
            [ "$lit" -ge 500 ] && break
        fi
        [ -f "$work/$1.status" ] && break
        sleep 0.25
    done
    "$convert" "$work/shot.ppm" "$2"
    if [ "$placed" != 1 ] || [ "$lit" -lt 500 ]; then
        says "$1"
        [ -f "$work/$1.status" ] && fail "$1 ended early with status $(cat "$work/$1.status")"
        fail "$1: banner box $(banner_box "$2"), $lit lit pixels around the centre ($2)"
    fi
    local left right
    left=$(max_value "$2" 240x1080+0+0)
    right=$(max_value "$2" 240x1080+1680+0)
    [ "$left" = 0 ] && [ "$right" = 0 ] || fail "$1: the bars are not black ($left, $right; $2)"
    log "$1: banner at $(banner_box "$2"), $lit lit pixels around the centre, black bars"
}

desktop=$(mode)
[ "$desktop" = 1920x1080x32 ] || fail "the desktop's mode is $desktop"

log "/s with no setting: scaled, the display mode kept"
run scaled starvane.scr /s
expect_scaled scaled "$out/modern_scaled.png"
during=$(mode)
[ "$during" = "$desktop" ] || fail "the mode changed to $during during /s"
[ -s "$out/scaled.out" ] && { says scaled; fail "/s wrote to stderr"; }
xdotool mousemove_relative 50 0
expect_end scaled 50 0
after=$(mode)
[ "$after" = "$desktop" ] || fail "the mode is $after after /s"
passed=$((passed + 1))

for path in d3d11 gdi; do
    log "/s through $path"
    STARVANE_PRESENT=$path run "$path" starvane.scr /s
    expect_scaled "$path" "$out/modern_$path.png"
    case $path in
    d3d11) says d3d11 | grep -qx 'starvane: present path: scaled Direct3D 11' ;;
    gdi) says gdi | grep -q '^starvane: present path: scaled GDI' ;;
    esac || { says "$path"; fail "/s did not present through $path"; }
    xdotool key a
    expect_end "$path" 50 0
    passed=$((passed + 1))
done

log "/c: the classic setting, saved with OK, then /s"
run settings starvane.scr /c
for _ in $(seq 150); do
    xdotool search --name '^Starvane screen saver$' >/dev/null 2>&1 && break
    [ -f "$work/settings.status" ] && break
    sleep 0.1
done
xdotool search --name '^Starvane screen saver$' >/dev/null 2>&1 || { says settings; fail "no settings dialog"; }
shot "$out/modern_settings.png"
xdotool key alt+c
xdotool key Return
expect_end settings 50 0
wine reg query 'HKCU\Software\Starvane' /v Display 2>/dev/null | tr -d '\r' | grep -Eq 'REG_DWORD +0x2$' ||
    fail "the classic setting was not saved"
STARVANE_PRESENT=auto run classic starvane.scr /s
expect_banner "$work/classic.status" "$out/modern_classic.png" "$out/classic.out"
during=$(mode)
[ "$during" = 1024x768x32 ] || fail "the classic /s left the mode at $during"
says classic | grep -qx 'starvane: present path: exclusive DirectDraw' || { says classic; fail "not exclusive"; }
xdotool key a
expect_end classic 50 0
after=$(mode)
[ "$after" = "$desktop" ] || fail "the mode is $after after the classic /s"
passed=$((passed + 1))

log "/s with a corrupt setting: scaled"
wine reg add 'HKCU\Software\Starvane' /v Display /t REG_SZ /d classic /f >/dev/null 2>&1 || fail "registry"
STARVANE_PRESENT=gdi run corrupt starvane.scr /s
expect_scaled corrupt "$out/modern_corrupt.png"
says corrupt | grep -q '^starvane: present path: scaled' || { says corrupt; fail "not scaled"; }
during=$(mode)
[ "$during" = "$desktop" ] || fail "the mode changed to $during with a corrupt setting"
xdotool key a
expect_end corrupt 50 0
passed=$((passed + 1))

# Direct3D takes seconds to start under Wine on a software GL, and the path
# does not matter from here on: GDI, whose choice is one more stderr line.
log "no virtual desktop: starvane.exe cannot have the mode and runs scaled"
leave_wine_desktop
STARVANE_PRESENT=gdi run program starvane.exe
expect_scaled program "$out/modern_program.png"
[ "$(says program | grep -v '^starvane: present path: ')" = \
    "starvane: cannot set the 1024 x 768 x 32 display mode; the show runs scaled instead" ] ||
    { says program; fail "starvane.exe did not say why in one line"; }
# A right click fires a scatter burst where it lands: canvas point (1000,
# 600), at (1646, 879) on the scaled picture. The burst takes only free
# slots, and a grand burst may hold them all: R first resets the style and
# empties the pool, L before it locks the style so that no style change
# refills it, as the SDL test does.
xdotool key l
xdotool key r
sleep 1.5
grab "$work/before.ppm"
xdotool mousemove 1646 879 click 3
sleep 0.4
grab "$work/clicked.ppm"
"$convert" "$work/clicked.ppm" "$out/modern_click.png"
lit_before=$(count_lit "$work/before.ppm" 100x100+1596+829)
lit_after=$(count_lit "$work/clicked.ppm" 100x100+1596+829)
[ "$lit_after" -ge $((lit_before + 300)) ] ||
    fail "no burst where the click landed ($lit_before, then $lit_after lit pixels; $out/modern_click.png)"
log "a click at (1646, 879): $lit_before, then $lit_after lit pixels around it"
xdotool key Escape
expect_end program 100 0
passed=$((passed + 1))

log "no virtual desktop: the classic /s runs scaled too"
wine reg add 'HKCU\Software\Starvane' /v Display /t REG_DWORD /d 2 /f >/dev/null 2>&1 || fail "registry"
STARVANE_PRESENT=gdi run fallback starvane.scr /s
expect_scaled fallback "$out/modern_fallback.png"
says fallback | grep -qx 'starvane: cannot set the 1024 x 768 x 32 display mode; the show runs scaled instead' ||
    { says fallback; fail "the classic /s did not say why"; }
xdotool key a
expect_end fallback 50 0
passed=$((passed + 1))

echo "win32_modern_e2e: $passed passed, 0 failed"
