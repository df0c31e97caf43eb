#!/usr/bin/env bash
# The SDL show end to end on a virtual X server: banner and grand burst at
# start, the status line after H, the reset values after R, a click burst,
# Esc; the picture scaled on a wider desktop; no display at all.
#   tests/sdl_e2e.sh BUILD/starvane ARTEFACT_DIR
# Exit 0 passed, 1 failed, 77 skipped (a tool is missing). Captures are kept
# in ARTEFACT_DIR as PNG files.
set -u
bin=$1
out=$2
root=$(cd "$(dirname "$0")/.." && pwd)
probe=(python3 "$root/tools/screen_probe.py")

. "$root/tests/x_server.sh"
require_tools Xvfb xwd xdotool python3 convert
rm -rf "$out"
mkdir -p "$out"

# Sends Esc; the show must end within two seconds with status 0 and
# nothing on stderr.
end_with_esc() {
    xdotool key Escape
    for _ in $(seq 20); do
        kill -0 "$show" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$show" 2>/dev/null && fail "still running 2 s after Esc"
    wait "$show"
    status=$?
    show=""
    [ "$status" -eq 0 ] || fail "exit status $status after Esc"
    [ -s "$out/stderr.txt" ] && fail "stderr after a normal run"
}

start_x 1024x768x24 99 140 || fail "no X display could be started"
shot() { xwd -root -silent -out "$out/$1.xwd" || fail "cannot capture the screen"; }
figure() { "${probe[@]}" info "$out/$1.xwd" | sed -n "s/^$2 //p"; }

# Start: the banner in the strip, the grand burst around the centre.
"$bin" 2>"$out/stderr.txt" &
show=$!
"${probe[@]}" startup "$display" "$out" >"$out/startup.txt" || fail "the banner never showed"
cat "$out/startup.txt"
text=$(sed -n 's/^text //p' "$out/startup.txt")
cyan=$(sed -n 's/^cyan //p' "$out/startup.txt")
burst=$(sed -n 's/^burst //p' "$out/startup.txt")
[ "$text" = "___Press 'H' For Help" ] || fail "banner reads '$text'"
[ "$cyan" -ge 100 ] || fail "only $cyan banner pixels in the strip"
[ "$burst" -ge 150 ] || fail "no grand burst at the centre ($burst lit pixels)"

# H: the status line is drawn a second later, far longer than the banner.
xdotool key h
sleep 1.5
shot status
extent=$(figure status extent)
text=$(figure status text)
echo "status: extent $extent, text '$text'"
[ "$extent" -ge 600 ] || fail "status line missing (strip text ends at x $extent)"
[[ "$text" =~ _LockStyle:L\ _f:([0-9]+)\ _n: ]] || fail "status line reads '$text'"
rate=${BASH_REMATCH[1]}
[ "$rate" -ge 1 ] && [ "$rate" -le 47 ] || fail "frame rate $rate out of 1..47"

# R resets the style and empties the pool, so nothing new lights up at the
# centre but the left click's fan burst. L first locks the style, so the
# 28 s style timer cannot choose a new one before the reset values are read,
# however slowly the machine runs.
xdotool key l
xdotool key r
sleep 1.5
shot before
xdotool mousemove 512 409 click 1
sleep 0.3
shot after
gain=$("${probe[@]}" gain "$out/before.xwd" "$out/after.xwd" 512 409)
echo "click: $gain pixels brightened around the centre"
[ "$gain" -ge 100 ] || fail "the click lit only $gain pixels"
# The status line shows the reset values on its next tick (the banner's
# last tick may blank the strip in between).
for _ in $(seq 15); do
    sleep 0.2
    shot reset
    text=$(figure reset text)
    [[ "$text" == *"_n:1810 "* ]] && break
done
echo "after R: '$text'"
[[ "$text" == *"_n:1810 _g:0.000 _b:0.970 _m:0 ["* ]] || fail "status after R reads '$text'"

for f in first second status before after reset; do
    convert "xwd:$out/$f.xwd" "$out/$f.png" && rm -f "$out/$f.xwd"
done

end_with_esc
stop_x

# A wider desktop: the picture is scaled up by 1.40625 and centred between
# bars 240 pixels wide, and a click lands where the picture shows it.
start_x 1920x1080x24 99 140 || fail "no X display could be started"
"$bin" 2>"$out/stderr.txt" &
show=$!
# The picture is scaled smoothly, so the banner's colour is looked for
# near, not at, its exact value.
strip() { "${probe[@]}" region "$out/$1.xwd" 0 0 1920 35 | sed -n "s/^$2 //p"; }
for _ in $(seq 75); do
    shot wide
    [ "$(strip wide cyan)" -ge 100 ] && break
    sleep 0.2
done
left=$(strip wide left)
# Rows 0 to 35 hold the scaled banner from its "P" (client x 25) on.
echo "wide desktop: banner from x $left"
[ "$(strip wide cyan)" -ge 100 ] || fail "no banner on the wide desktop"
[ "$left" -ge 240 ] && [ "$left" -le 300 ] || fail "banner at x $left on the wide desktop"
xdotool key r
sleep 1.5
shot wide-before
# Screen (960, 575) is client (512, 409), the centre of the canvas.
xdotool mousemove 960 575 click 1
sleep 0.3
shot wide-after
gain=$("${probe[@]}" gain "$out/wide-before.xwd" "$out/wide-after.xwd" 960 575)
echo "wide click: $gain pixels brightened"
[ "$gain" -ge 100 ] || fail "the click on the wide desktop lit only $gain pixels"
convert "xwd:$out/wide-after.xwd" "$out/wide.png" && rm -f "$out"/wide*.xwd
end_with_esc
stop_x

# No display: status 1 and one line on stderr.
env -u DISPLAY -u WAYLAND_DISPLAY timeout 20 "$bin" 2>"$out/nodisplay.txt"
status=$?
lines=$(wc -l <"$out/nodisplay.txt")
echo "no display: status $status, stderr '$(cat "$out/nodisplay.txt")'"
[ "$status" -eq 1 ] || fail "exit status $status without a display"
[ "$lines" -eq 1 ] || fail "$lines lines on stderr without a display"

echo "PASS: sdl_e2e (captures in $out)"
