#!/usr/bin/env bash
# End-to-end run of the screen saver under Wine:
#   tests/win32_saver_e2e.sh SOURCE_DIR WORK_DIR CROSS_BUILD_DIR
# Cross-builds starvane.scr into CROSS_BUILD_DIR (shared with win32_e2e.sh)
# and runs every mode in one Wine prefix and 1024x768 virtual desktop:
#   /s   with the classic setting (exclusive 1024 x 768, as the program):
#        banner and grand burst; a second /s leaves at once with status 0;
#        a 3-pixel pointer move does not end the show, a 50-pixel one ends
#        it with status 0; so does a key, and another program taking the
#        foreground (tests/win32/switch_away.c);
#   /p   inside a 152 x 112 test window (tests/win32/preview_parent.c): a
#        child window covers its client area, the show appears scaled there
#        and nowhere else, and once the window closes the preview ends within
#        2 s with status 0, also when the window's program is killed.
#        Wine 8 shows nothing that a process draws in a
#        child window of another process's window (tests/win32/child_probe.c
#        finds out), so there only the screen outside is checked;
#   /c   the settings dialog, found by its title; Enter closes it, status 0;
# The scaled presentation, the default, is tested by win32_modern_e2e.sh.
#   /a and an unknown option end at once with status 2; /p with a handle
#        that names no window ends with status 1.
# Screenshots are kept in WORK_DIR. Exit 77 (skipped) when a tool is missing.
set -uo pipefail

. "$(dirname "$0")/win32/wine_session.sh" "$1" "$2"

log "cross build"
cross_build "$3" starvane_scr
[ -f "$3/starvane.scr" ] || fail "no $3/starvane.scr"
for helper in preview_parent child_probe switch_away; do
    x86_64-w64-mingw32-gcc -O2 -Wall -Wextra -o "$out/$helper.exe" "$src/tests/win32/$helper.c" -lgdi32 ||
        fail "$helper build"
done

start_wine_desktop
cp "$3/starvane.scr" "$work/starvane.scr"
wine reg add 'HKCU\Software\Starvane' /v Display /t REG_DWORD /d 2 /f >/dev/null 2>&1 || fail "registry"
passed=0

# saver NAME ARGS...: starts starvane.scr in the background; its output goes
# to $out/NAME.out and its status, once it ends, to $work/NAME.status.
saver() {
    local name=$1
    shift
    rm -f "$work/$name.status"
    (cd "$work" && WINEDEBUG=-all,err+all wine starvane.scr "$@" >"$out/$name.out" 2>&1
        echo $? >"$work/$name.status") &
}

log "/s: the show, then a second /s"
saver show /s
expect_banner "$work/show.status" "$out/saver_banner.png" "$out/show.out"
log "banner and $lit lit pixels around the centre after $i screenshots"
saver second /s
expect_end second 150 0
[ -f "$work/show.status" ] && fail "the first show ended when the second started"
passed=$((passed + 1))

log "/s: a 3-pixel pointer move does not end it, a 50-pixel one does"
sleep 0.5
xdotool mousemove_relative 3 0
sleep 1
[ -f "$work/show.status" ] && fail "the show ended on its own or on a 3-pixel move"
xdotool mousemove_relative 50 0
expect_end show 50 0
passed=$((passed + 1))

log "/s: a key ends it"
saver keyed -S
expect_banner "$work/keyed.status" "$out/saver_banner_key.png" "$out/keyed.out"
xdotool key a
expect_end keyed 50 0
passed=$((passed + 1))

log "/s: another program taking the foreground ends it"
saver away /s
expect_banner "$work/away.status" "$out/saver_banner_away.png" "$out/away.out"
(cd "$work" && wine "$out/switch_away.exe" 500) >/dev/null 2>&1
expect_end away 50 0
passed=$((passed + 1))

# open_parent: starts the test window with its output in $out/parent.out;
# sets parent (its process), hwnd and the client area's left, top, width,
# height and area (as a crop).
open_parent() {
    rm -f "$work/close" "$out/parent.out"
    wine "$out/preview_parent.exe" "Z:$work/close" >"$out/parent.out" 2>&1 &
    parent=$!
    for _ in $(seq 150); do
        [ -s "$out/parent.out" ] && break
        sleep 0.1
    done
    read -r hwnd left top width height < <(tr -d '\r' <"$out/parent.out") || fail "the test window did not start"
    area=${width}x${height}+${left}+${top}
}
# Wine writes the helper's lines with CR LF.
parent_says() { tr -d '\r' <"$out/parent.out" | grep -q "$1"; }
# preview_in_parent NAME: starts the preview NAME in the test window and
# waits until the window reports a child over its whole client area.
preview_in_parent() {
    saver "$1" /P "$hwnd"
    for _ in $(seq 150); do
        parent_says "^child 0 0 $width $height\$" && return 0
        [ -f "$work/$1.status" ] && break
        sleep 0.1
    done
    cat "$out/$1.out" "$out/parent.out"
    fail "no child window over the whole client area"
}
# parent_gone NAME: the test window's process has ended; the preview NAME
# follows within 2 s with status 0.
parent_gone() {
    for _ in $(seq 50); do
        kill -0 "$parent" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$parent" 2>/dev/null && fail "the test window did not close"
    wait_for "$work/$1.status" 20 || { cat "$out/$1.out"; fail "the preview outlived its window by 2 s"; }
    expect_end "$1" 1 0
}

log "/p: the preview in a 152 x 112 window"
shot "$work/before.png"
open_parent
log "test window $hwnd, client area ${width}x${height} at ($left, $top)"

# Whether drawing in a child window of another process shows at all here:
# on Windows it does, Wine 8 keeps it off screen.
(cd "$work" && wine "$out/child_probe.exe" "$hwnd" 3000) &
probe=$!
shown=0
while kill -0 "$probe" 2>/dev/null; do
    shot "$work/probe.png"
    [ "$(count_color "$work/probe.png" "60x40+$left+$top" '#FFFFFF')" -ge 2000 ] && { shown=1; break; }
    sleep 0.1
done
wait "$probe"

preview_in_parent preview
if [ "$shown" = 1 ]; then
    covered=0
    for _ in $(seq 40); do
        shot "$work/preview.png"
        grey=$(count_color "$work/preview.png" "$area" '#808080')
        lit=$(count_lit "$work/preview.png" "$area")
        [ "$grey" -le 100 ] && [ "$lit" -ge 300 ] && { covered=1; break; }
        sleep 0.25
    done
    cp "$work/preview.png" "$out/saver_preview.png"
    [ "$covered" = 1 ] || fail "no show in the client area ($grey grey, $lit lit pixels; $out/saver_preview.png)"
    sleep 1
    shot "$work/preview2.png"
    moved=$("$convert" "$work/preview.png" "$work/preview2.png" -crop "$area" +repage -compose difference \
        -composite -separate -evaluate-sequence max -threshold 0 -format '%[fx:round(mean*w*h)]' info:)
    [ "$moved" -ge 100 ] || fail "the preview is frozen ($moved pixels changed in 1 s)"
    log "the show in the client area: $lit lit and $grey grey pixels, $moved changed in 1 s"
else
    sleep 2
    shot "$work/preview.png"
    cp "$work/preview.png" "$out/saver_preview.png"
    log "this Wine shows no drawing in another process's child window: preview pixels not checked"
fi
# Outside the test window (caption and border included) the screen is as it
# was before: no full-screen display was taken.
outside=$("$convert" "$work/before.png" "$work/preview.png" -compose difference -composite -fill black \
    -draw "rectangle $((left - 12)),$((top - 40)) $((left + width + 12)),$((top + height + 12))" \
    -separate -evaluate-sequence max -threshold 0 -format '%[fx:round(mean*w*h)]' info:)
[ "$outside" -eq 0 ] || fail "the preview changed $outside pixels outside the test window"
[ -f "$work/preview.status" ] && { cat "$out/preview.out"; fail "the preview ended with its window still open"; }
touch "$work/close"
parent_gone preview
parent_says '^children 1$' || fail "the test window had $(tail -n1 "$out/parent.out")"
log "the preview ended with its window"
passed=$((passed + 1))

log "/p: the preview ends when the program of its window is killed"
open_parent
preview_in_parent orphaned
{ kill -9 "$parent" && wait "$parent"; } 2>/dev/null
parent_gone orphaned
passed=$((passed + 1))

log "/c: the settings dialog"
saver settings /c
for _ in $(seq 150); do
    xdotool search --name '^Starvane screen saver$' >/dev/null 2>&1 && break
    [ -f "$work/settings.status" ] && break
    sleep 0.1
done
xdotool search --name '^Starvane screen saver$' >/dev/null 2>&1 || { cat "$out/settings.out"; fail "no settings dialog"; }
shot "$out/saver_settings.png"
xdotool key Return
expect_end settings 50 0
passed=$((passed + 1))

log "/a and an unknown option: status 2; /p with no such window: status 1"
saver password /a 1234
expect_end password 100 2
saver unknown /x
expect_end unknown 100 2
saver orphan /p 4000000000
expect_end orphan 100 1
passed=$((passed + 1))

echo "win32_saver_e2e: $passed passed, 0 failed"
