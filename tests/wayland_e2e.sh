#!/usr/bin/env bash
# The show on a Wayland desktop: a headless sway (software rendering, no
# input devices) with three outputs of different sizes and scales, run as an
# unprivileged user of the test's own, since sway refuses to run as root.
#   starvane --layer        handed an already connected socket in
#                           WAYLAND_SOCKET: the banner and the grand burst on
#                           every output, scaled with the aspect kept; at
#                           device pixels on the scale-2 output; covered by
#                           a window; following an output's new size, and
#                           outputs that come and go; SIGTERM ends it with
#                           0, nothing left
#   --layer overlay         on one output: a click fires a burst, H shows
#                           the status line, Esc ends it with 0
#   no compositor           status 1 and one line
#   starvane (full screen)  the SDL program under the same sway, on the
#                           scale-2 output at device pixels, the others black
# Captures are kept in ARTEFACT_DIR (grim's PPM files; PNG after a pass,
# where ImageMagick is installed).
#   tests/wayland_e2e.sh BUILD/starvane BUILD/wayland-click ARTEFACT_DIR
# Exit 0 passed, 1 failed, 77 skipped (a tool missing, or not root, outside CI).
set -u
bin=$1
clicker=$2
out=$3
root=$(cd "$(dirname "$0")/.." && pwd)
probe=(python3 "$root/tools/screen_probe.py")
banner="___Press 'H' For Help"

# Under CI a missing tool is a failure; on a developer's machine a skip.
missing() {
    if [ "${CI:-}" = true ]; then
        echo "FAIL: $1"
        exit 1
    fi
    echo "SKIP: $1"
    exit 77
}
for tool in sway swaymsg grim foot wtype runuser useradd python3 /usr/bin/python3; do
    command -v "$tool" >/dev/null || missing "$tool is not installed"
done
[ "$(id -u)" -eq 0 ] || missing "needs root to run sway as a user of its own"
. "$root/tests/sway_server.sh"
user=$sway_user
rm -rf "$out"
mkdir -p "$out"

fail() {
    echo "FAIL: $*"
    for f in "$out"/*.log; do
        [ -s "$f" ] && tail -n 5 "$f" | sed "s|^|$(basename "$f"): |"
    done
    exit 1
}

# The user's home and copies of the programs, where the user may read them.
sway_home || fail "cannot create the user $sway_user"
trap stop_sway EXIT
cp "$bin" "$tmp/bin/starvane"
cp "$clicker" "$tmp/bin/wayland-click"
chmod 755 "$tmp/bin" "$tmp/bin"/*

shows() { pgrep -u "$user" -f "$tmp/bin/starvane"; }
shot() { on_sway grim -t ppm -o "$1" "$tmp/shots/$2.ppm" && cp "$tmp/shots/$2.ppm" "$out/$2.ppm"; }
figure() { sed -n "s/^$1 //p" "$2"; }

# The compositor, with three outputs side by side: 1280x720, 800x800, and
# 1024x768 pixels at scale 2 (512x384 in layout units).
start_sway || fail "sway did not start"
swaymsg create_output >/dev/null && swaymsg create_output >/dev/null || fail "swaymsg create_output failed"
swaymsg output HEADLESS-1 resolution 1280x720 position 0 0 >/dev/null &&
    swaymsg output HEADLESS-2 resolution 800x800 position 1280 0 >/dev/null &&
    swaymsg output HEADLESS-3 resolution 1024x768 scale 2 position 2080 0 >/dev/null || fail "cannot size the outputs"
# The layout's extent now, for the virtual pointer's absolute motion: the
# right and bottom edges of the active outputs.
layout() {
    swaymsg -t get_outputs -r | python3 -c 'import json, sys
rects = [o["rect"] for o in json.load(sys.stdin) if o["active"]]
print(max(r["x"] + r["width"] for r in rects), max(r["y"] + r["height"] for r in rects))'
}

# Checks a capture of a whole output showing the scaled picture: nothing
# around the picture, the banner at its left edge, the burst at its centre.
check_fitted() {
    local name=$1 file=$2
    "${probe[@]}" fitted "$tmp/shots/$file.ppm" >"$out/$file.txt" || fail "cannot read the capture of $name"
    echo "$name: $(tr '\n' ' ' <"$out/$file.txt")"
    [ "$(figure bars "$out/$file.txt")" -eq 0 ] || fail "$name: lit pixels outside the picture's place"
    [ "$(figure cyan "$out/$file.txt")" -ge 40 ] || fail "$name: no banner in the scaled strip"
    left=$(figure left "$out/$file.txt")
    [ "$left" -ge 0 ] && [ "$left" -le 3 ] || fail "$name: the banner starts at column $left of the picture"
    [ "$(figure burst "$out/$file.txt")" -ge 100 ] || fail "$name: no burst at the picture's centre"
}

# 1. A wallpaper on every output, handed a connected socket: the test
# connects to the compositor itself and passes the descriptor.
as_user_exec /usr/bin/python3 - "$tmp/run/$wayland" "$tmp/bin/starvane" --layer >"$out/layer.log" 2>&1 <<'EOF' &
import os, socket, sys
s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
s.connect(sys.argv[1])
fd = os.dup(s.fileno())
os.set_inheritable(fd, True)
env = {k: v for k, v in os.environ.items() if k != "WAYLAND_DISPLAY"}
env["WAYLAND_SOCKET"] = str(fd)
os.execve(sys.argv[2], sys.argv[2:], env)
EOF
runner=$!
runners="$runners $runner"
show=$(child "$runner") || fail "the show did not start"
# The banner, read glyph by glyph on the scale-2 output, where the show
# draws at device pixels: a picture enlarged by the compositor would not
# read. The banner is drawn at start-up, a frame before the grand burst
# that the first frame brings, and each output shows it when the
# compositor takes its commit: so all three are captured until every one
# shows the burst too.
text=""
for _ in $(seq 60); do
    shot HEADLESS-3 layer-3 && shot HEADLESS-1 layer-1 && shot HEADLESS-2 layer-2 || fail "grim failed"
    "${probe[@]}" info "$tmp/shots/layer-3.ppm" >"$out/layer-3-text.txt"
    text=$(figure text "$out/layer-3-text.txt")
    bursts=0
    for n in 1 2 3; do
        "${probe[@]}" fitted "$tmp/shots/layer-$n.ppm" >"$out/layer-$n.txt"
        [ "$(figure burst "$out/layer-$n.txt")" -ge 100 ] && bursts=$((bursts + 1))
    done
    [ "$text" = "$banner" ] && [ "$bursts" -eq 3 ] && break
    kill -0 "$show" 2>/dev/null || fail "the show ended (status $(status_of "$runner" 1))"
    sleep 0.1
done
echo "HEADLESS-3 (scale 2): '$text'"
[ "$text" = "$banner" ] || fail "the strip on the scale-2 output reads '$text'"
check_fitted "HEADLESS-1 (1280x720)" layer-1
check_fitted "HEADLESS-2 (800x800)" layer-2
check_fitted "HEADLESS-3 (1024x768 at scale 2)" layer-3

# A window above the wallpaper covers it, and the show comes back after.
swaymsg focus output HEADLESS-1 >/dev/null
on_sway_exec foot -- sleep 30 >"$out/foot.log" 2>&1 &
foot_runner=$!
runners="$runners $foot_runner"
for _ in $(seq 50); do
    swaymsg -t get_tree | grep -q '"app_id": "foot"' && break
    sleep 0.1
done
sleep 0.5
shot HEADLESS-1 covered || fail "grim failed"
"${probe[@]}" fitted "$tmp/shots/covered.ppm" >"$out/covered.txt"
echo "HEADLESS-1 under a window: $(tr '\n' ' ' <"$out/covered.txt")"
[ "$(figure black "$out/covered.txt")" -le 10 ] && [ "$(figure cyan "$out/covered.txt")" -eq 0 ] ||
    fail "the window does not cover the wallpaper"
kill "$(child "$foot_runner")" 2>/dev/null
wait "$foot_runner" 2>/dev/null
sleep 1
shot HEADLESS-1 uncovered || fail "grim failed"
"${probe[@]}" fitted "$tmp/shots/uncovered.ppm" >"$out/uncovered.txt"
[ "$(figure bars "$out/uncovered.txt")" -eq 0 ] && [ "$(figure black "$out/uncovered.txt")" -ge 200 ] ||
    fail "the wallpaper did not come back after the window closed"

# An output that changes size: the surface follows, and the picture is
# fitted to the new shape (bars of 175 rows above and below now; an old
# 800x800 buffer would show the picture from row 100).
swaymsg output HEADLESS-2 resolution 600x800 >/dev/null || fail "cannot resize HEADLESS-2"
sleep 1
shot HEADLESS-2 resized || fail "grim failed"
"${probe[@]}" fitted "$tmp/shots/resized.ppm" >"$out/resized.txt"
echo "HEADLESS-2 resized: $(tr '\n' ' ' <"$out/resized.txt")"
[ "$(figure size "$out/resized.txt")" = 600x800 ] && [ "$(figure bars "$out/resized.txt")" -eq 0 ] &&
    [ "$(figure black "$out/resized.txt")" -lt 1000 ] || fail "the show did not follow the new size of HEADLESS-2"
swaymsg output HEADLESS-2 resolution 800x800 position 1280 0 >/dev/null

# An output that comes gets the show at once; one that goes takes only its
# own surface.
swaymsg create_output >/dev/null || fail "swaymsg create_output failed"
sleep 1
shot HEADLESS-4 added || fail "grim failed"
"${probe[@]}" fitted "$tmp/shots/added.ppm" >"$out/added.txt"
echo "HEADLESS-4 added: $(tr '\n' ' ' <"$out/added.txt")"
[ "$(figure bars "$out/added.txt")" -eq 0 ] && [ "$(figure black "$out/added.txt")" -lt 1000 ] ||
    fail "no show on the output that came"
swaymsg output HEADLESS-4 disable >/dev/null || fail "cannot disable HEADLESS-4"
sleep 0.5
kill -0 "$show" 2>/dev/null || fail "the show ended when an output went (status $(status_of "$runner" 1))"

# SIGTERM: status 0, and no show process left.
kill -TERM "$show"
status_of "$runner" 5
status=$?
echo "SIGTERM: status $status"
[ "$status" -eq 0 ] || fail "the show ended with status $status after SIGTERM"
[ -z "$(shows)" ] || fail "a show process is left after SIGTERM"

# 2. A screensaver on one output, on the overlay layer: it takes the
# keyboard and the pointer.
on_sway_exec "$tmp/bin/starvane" --layer overlay --output HEADLESS-1 >"$out/overlay.log" 2>&1 &
runner=$!
runners="$runners $runner"
show=$(child "$runner") || fail "the overlay show did not start"
for _ in $(seq 60); do
    shot HEADLESS-1 overlay-before || fail "grim failed"
    "${probe[@]}" fitted "$tmp/shots/overlay-before.ppm" >"$out/overlay-before.txt"
    [ "$(figure cyan "$out/overlay-before.txt")" -ge 40 ] && break
    sleep 0.1
done
[ "$(figure cyan "$out/overlay-before.txt")" -ge 40 ] || fail "the overlay never showed the banner"
shot HEADLESS-2 overlay-other || fail "grim failed"
"${probe[@]}" fitted "$tmp/shots/overlay-other.ppm" >"$out/overlay-other.txt"
[ "$(figure cyan "$out/overlay-other.txt")" -eq 0 ] || fail "--output HEADLESS-1 drew on HEADLESS-2 too"
# A right click (a scatter burst) low on the left, where the grand burst
# does not reach: picture (200, 600) is (347, 586) on this output. The
# burst takes only free slots, and the grand burst may hold them all: R
# resets the style and empties the pool, L before it keeps the style timer
# from refilling it, as the SDL test does.
on_sway wtype -s 300 -k l -s 100 -k r >"$out/wtype.log" 2>&1 || fail "wtype failed"
sleep 1.5
shot HEADLESS-1 overlay-before || fail "grim failed"
extent=$(layout) || fail "swaymsg -t get_outputs failed"
# shellcheck disable=SC2086 # the extent is two words
on_sway "$tmp/bin/wayland-click" 347 586 $extent right >"$out/click.log" 2>&1 || fail "wayland-click failed"
gain=0
for _ in $(seq 20); do
    shot HEADLESS-1 overlay-after || fail "grim failed"
    gain=$("${probe[@]}" gain "$tmp/shots/overlay-before.ppm" "$tmp/shots/overlay-after.ppm" 347 586)
    [ "$gain" -ge 100 ] && break
    sleep 0.1
done
echo "right click on the overlay: $gain pixels brightened"
[ "$gain" -ge 100 ] || fail "the click on the overlay lit only $gain pixels"
# H: the status line, four times as long as the banner, within seconds.
on_sway wtype -s 300 -k h >>"$out/wtype.log" 2>&1 || fail "wtype failed"
for _ in $(seq 40); do
    shot HEADLESS-1 overlay-status || fail "grim failed"
    "${probe[@]}" fitted "$tmp/shots/overlay-status.ppm" >"$out/overlay-status.txt"
    [ "$(figure cyan "$out/overlay-status.txt")" -ge 300 ] && break
    sleep 0.1
done
echo "H on the overlay: $(figure cyan "$out/overlay-status.txt") strip pixels lit"
[ "$(figure cyan "$out/overlay-status.txt")" -ge 300 ] || fail "H showed no status line on the overlay"
on_sway wtype -s 500 -k Escape >>"$out/wtype.log" 2>&1 || fail "wtype failed"
status_of "$runner" 5
status=$?
echo "Esc on the overlay: status $status"
[ "$status" -eq 0 ] || fail "Esc ended the overlay with status $status"
[ -z "$(shows)" ] || fail "a show process is left after Esc"

# 3. No compositor: status 1, one line.
as_user WAYLAND_DISPLAY=wayland-none "$tmp/bin/starvane" --layer >/dev/null 2>"$out/none.log"
status=$?
echo "no compositor: status $status: $(cat "$out/none.log")"
[ "$status" -eq 1 ] || fail "without a compositor the status is $status"
[ "$(wc -l <"$out/none.log")" -eq 1 ] && grep -q '^starvane: ' "$out/none.log" || fail "not one line on stderr"

# 4. The full-screen program through SDL's Wayland driver, on the scale-2
# output: the picture at device pixels, the other outputs black.
on_sway_exec "$tmp/bin/starvane" --display 2 >"$out/sdl.log" 2>&1 &
runner=$!
runners="$runners $runner"
show=$(child "$runner") || fail "the full-screen show did not start"
text=""
for _ in $(seq 80); do
    shot HEADLESS-3 sdl-3 || fail "grim failed"
    "${probe[@]}" info "$tmp/shots/sdl-3.ppm" >"$out/sdl-3.txt"
    text=$(figure text "$out/sdl-3.txt")
    [ "$text" = "$banner" ] && [ "$(figure lit "$out/sdl-3.txt")" -ge 150 ] && break
    kill -0 "$show" 2>/dev/null || fail "the full-screen show ended"
    sleep 0.1
done
echo "full screen, HEADLESS-3 (scale 2): '$text'"
[ "$text" = "$banner" ] || fail "the full-screen strip on the scale-2 output reads '$text'"
check_fitted "full screen, HEADLESS-3" sdl-3
for n in 1 2; do
    shot "HEADLESS-$n" "sdl-$n" || fail "grim failed"
    "${probe[@]}" fitted "$tmp/shots/sdl-$n.ppm" >"$out/sdl-$n.txt"
    [ "$(figure black "$out/sdl-$n.txt")" -eq 1000 ] || fail "full screen: HEADLESS-$n is not black"
done
kill -TERM "$show"
status_of "$runner" 5
status=$?
[ "$status" -eq 0 ] || fail "the full-screen show ended with status $status after SIGTERM"

if command -v convert >/dev/null; then
    for f in "$out"/*.ppm; do convert "$f" "${f%.ppm}.png" && rm -f "$f"; done
fi
echo "PASS: wayland_e2e (captures in $out)"
