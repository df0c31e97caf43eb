#!/usr/bin/env bash
# The SDL program's command line end to end: bad options, --version and
# --help without a display; then on a virtual X server the show drawn into
# a window another client made (--window-id), read back from that window
# and followed through a resize; the root window (--root); an ordinary
# window (--window) with its title and icon; SIGTERM and SIGINT ending the
# show cleanly.
#   tests/sdl_embed_e2e.sh BUILD/starvane BUILD/x11-helper ARTEFACT_DIR
# Exit 0 passed, 1 failed, 77 skipped (a tool is missing).
set -u
bin=$1
helper=$2
out=$3
root=$(cd "$(dirname "$0")/.." && pwd)
probe=(python3 "$root/tools/screen_probe.py")

. "$root/tests/x_server.sh"
require_tools Xvfb xwd xdotool xprop xwininfo python3
rm -rf "$out"
mkdir -p "$out"

# Bad options: status 2, one line on stderr naming the option, nothing on
# stdout, whether or not there is a display.
check_bad() {
    local named=$1
    shift
    env ${keep_display:--u DISPLAY} "$bin" "$@" >"$out/bad.out" 2>"$out/bad.err"
    local status=$?
    local lines
    lines=$(wc -l <"$out/bad.err")
    [ "$status" -eq 2 ] || fail "'$*' gave status $status"
    [ "$lines" -eq 1 ] || fail "'$*' gave $lines lines on stderr"
    [ -s "$out/bad.out" ] && fail "'$*' wrote to stdout"
    grep -qF -- "$named" "$out/bad.err" || fail "'$*' said '$(cat "$out/bad.err")', not naming $named"
    echo "bad option: $* -> $(cat "$out/bad.err")"
}
check_bad "--bogus" --bogus
check_bad "12x12" --window 12x12
check_bad "--window-id" --window-id
check_bad "0xZZ" --window-id 0xZZ
check_bad "64" --display 64
check_bad "--window" --root --window
check_bad "-visual" -root -visual

version=$("$bin" --version 2>&1)
[ "$?" -eq 0 ] && [ "$version" = "starvane 1.0.0" ] || fail "--version printed '$version'"
"$bin" --help >"$out/help.txt" 2>&1 || fail "--help failed"
grep -q -- "--window-id" "$out/help.txt" && grep -q "= or +" "$out/help.txt" || fail "--help lacks options or keys"

start_x 1024x768x24 181 220 || fail "no X display could be started"

# A window id nobody has: status 2 before anything is drawn.
keep_display=DISPLAY=$display check_bad "0x7ffffff" --window-id 0x7ffffff
keep_display=DISPLAY=$display check_bad "1 monitor" --display 1

# Ends the show with a signal; it must be gone within a second (polled, a
# few seconds allowed under load), status 0, nothing on stderr.
end_with() {
    kill "-$1" "$show"
    local start
    start=$(date +%s%N)
    while kill -0 "$show" 2>/dev/null && [ $(($(date +%s%N) - start)) -lt 5000000000 ]; do sleep 0.02; done
    local ms=$((($(date +%s%N) - start) / 1000000))
    kill -0 "$show" 2>/dev/null && fail "still running 5 s after SIG$1"
    wait "$show"
    local status=$?
    show=""
    echo "SIG$1: ended after $ms ms with status $status"
    [ "$status" -eq 0 ] || fail "exit status $status after SIG$1"
    [ -s "$out/stderr.txt" ] && fail "stderr after SIG$1"
}

# Polls captures of window $1 (or the root) until the box X0 Y0 X1 Y1 has
# at least $6 lit and $7 banner-coloured pixels; prints the last figures.
wait_for() {
    local id=$1 x0=$2 y0=$3 x1=$4 y1=$5 lit=$6 cyan=$7 name=$8
    for _ in $(seq 100); do
        xwd -silent -id "$id" -out "$out/$name.xwd" 2>/dev/null || { sleep 0.1; continue; }
        "${probe[@]}" region "$out/$name.xwd" "$x0" "$y0" "$x1" "$y1" >"$out/$name.txt"
        [ "$(sed -n 's/^lit //p' "$out/$name.txt")" -ge "$lit" ] &&
            [ "$(sed -n 's/^cyan //p' "$out/$name.txt")" -ge "$cyan" ] && return 0
        sleep 0.1
    done
    return 1
}
figure() { sed -n "s/^$2 //p" "$out/$1.txt"; }

# --window-id into a 640 x 480 window of another client, which already
# takes button presses on it.
coproc HELPER { "$helper" window 640 480; }
helper_pid=$HELPER_PID
read -r -t 10 wid <&"${HELPER[0]}" || fail "the helper made no window"
"$bin" --window-id "$wid" 2>"$out/stderr.txt" &
show=$!
# The banner in the top rows (scaled by 0.625), the burst around the centre.
wait_for "$wid" 0 0 160 16 1 40 embed || fail "no banner in the window: $(tr '\n' ' ' <"$out/embed.txt")"
wait_for "$wid" 220 140 420 340 200 0 embed || fail "no burst in the window: $(tr '\n' ' ' <"$out/embed.txt")"
echo "window $wid, 640x480: $(tr '\n' ' ' <"$out/embed.txt")"
# Resized to 800 x 300: the picture becomes 400 x 300 between black bars.
echo "resize 800 300" >&"${HELPER[1]}"
read -r -t 10 ok <&"${HELPER[0]}" && [ "$ok" = ok ] || fail "the helper did not resize"
xdotool key --window "$wid" n 2>/dev/null  # nothing: the show takes no keys here
for _ in $(seq 50); do
    xwd -silent -id "$wid" -out "$out/resized.xwd"
    "${probe[@]}" region "$out/resized.xwd" 200 0 600 300 >"$out/resized.txt"
    "${probe[@]}" region "$out/resized.xwd" 0 0 200 300 >"$out/bar-left.txt"
    "${probe[@]}" region "$out/resized.xwd" 600 0 800 300 >"$out/bar-right.txt"
    [ "$(figure resized size)" = 800x300 ] && [ "$(figure resized lit)" -ge 100 ] && [ "$(figure resized cyan)" -ge 10 ] &&
        [ "$(figure bar-left lit)" -eq 0 ] && [ "$(figure bar-right lit)" -eq 0 ] && break
    sleep 0.1
done
echo "resized to 800x300: picture $(tr '\n' ' ' <"$out/resized.txt"), bars lit $(figure bar-left lit) and $(figure bar-right lit)"
[ "$(figure resized lit)" -ge 100 ] || fail "no picture in the resized window"
[ "$(figure resized cyan)" -ge 10 ] || fail "no banner in the resized window"
[ "$(figure bar-left lit)" -eq 0 ] && [ "$(figure bar-right lit)" -eq 0 ] || fail "the bars are not black"
convert "xwd:$out/embed.xwd" "$out/embed.png" 2>/dev/null
convert "xwd:$out/resized.xwd" "$out/resized.png" 2>/dev/null
end_with TERM
eval "exec ${HELPER[1]}>&-"
wait "$helper_pid" 2>/dev/null
helper_pid=""

# --root without a screensaver daemon: the root window itself. Seed 7: a
# click's burst takes only free slots, and in two seeds of three the first
# grand bursts hold every slot for a while; this one leaves at least 1000
# free over its first 8 s.
env -u XSCREENSAVER_WINDOW "$bin" --root --seed 7 2>"$out/stderr.txt" &
show=$!
rootid=$(xwininfo -root 2>/dev/null | sed -n 's/.*Window id: \(0x[0-9a-f]*\).*/\1/p')
wait_for "${rootid:-root}" 0 0 200 25 1 100 root || fail "no banner on the root window"
echo "root window: $(tr '\n' ' ' <"$out/root.txt")"
# Nobody else takes button presses on this root window, so the show does:
# a right click fires a scatter burst in a dark corner.
xwd -root -silent -out "$out/root-before.xwd"
xdotool mousemove 200 600 click 3
gain=0
for _ in $(seq 20); do
    sleep 0.1
    xwd -root -silent -out "$out/root-after.xwd"
    gain=$("${probe[@]}" gain "$out/root-before.xwd" "$out/root-after.xwd" 200 600)
    [ "$gain" -ge 100 ] && break
done
echo "right click on the root window: $gain pixels brightened"
[ "$gain" -ge 100 ] || fail "the click on the root window lit only $gain pixels"
end_with INT

# --window: an ordinary window titled Starvane, with an icon.
"$bin" --window 800x600 2>"$out/stderr.txt" &
show=$!
wid=""
for _ in $(seq 50); do
    wid=$(xdotool search --name '^Starvane$' 2>/dev/null | head -n 1)
    [ -n "$wid" ] && break
    sleep 0.1
done
[ -n "$wid" ] || fail "no window titled Starvane"
icon=$(xprop -id "$wid" _NET_WM_ICON | head -c 60)
[[ "$icon" == *"Icon (48 x 48)"* ]] || fail "the window has no 48 x 48 icon: '$icon'"
wait_for "$wid" 0 0 800 600 200 40 window || fail "no picture in the window"
echo "--window 800x600: $(tr '\n' ' ' <"$out/window.txt")"
end_with TERM

echo "PASS: sdl_embed_e2e (captures in $out)"
