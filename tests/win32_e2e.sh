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

. "$(dirname "$0")/win32/wine_session.sh" "$1" "$2"

log "cross build"
cross_build "$out/build" starvane
exe=$out/build/starvane.exe
[ -f "$exe" ] || fail "no $exe"
x86_64-w64-mingw32-gcc -O2 -Wall -Wextra -o "$out/switch_away.exe" "$src/tests/win32/switch_away.c" ||
    fail "helper build"

start_wine_desktop

cp "$exe" "$work/starvane.exe"
log "start the show"
# Wine's own error reports land in starvane.out with the show's output.
(cd "$work" && WINEDEBUG=-all,err+all wine starvane.exe >"$out/starvane.out" 2>&1; echo $? >"$work/status") &

# The banner, "___Press 'H' For Help " at (1, 5) in 0x62F8F8, shows for
# about 5.5 s; the first frames put the grand burst in the middle below it.
expect_banner "$work/status" "$out/win32_e2e_banner.png" "$out/starvane.out"
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
