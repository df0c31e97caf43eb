#!/usr/bin/env bash
# Runs the SDL show under a virtual X server at 1024x768 and at 1920x1080
# and reports, for each: the time from start to the first lit frame, the
# CPU use of the show and of the X server (as % of one core) over a quiet
# stretch with the status line on, the show's peak memory (VmHWM), and the
# frame rates its status line shows (read back through the program's own
# glyph table).
#   tools/measure_cpu.sh [BUILD/starvane] [SECONDS] [SIZES...]
# Needs Xvfb, xdotool, xwd, python3 and a C compiler with the X11 headers.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-$root/build/starvane}
seconds=${2:-15}
shift $(($# > 2 ? 2 : $#))
sizes=("${@:-1024x768}")
[ $# -eq 0 ] && sizes=(1024x768 1920x1080)
probe=(python3 "$root/tools/screen_probe.py")
work=$(mktemp -d)
cc -O2 -o "$work/x11_helper" "$root/tests/x11/x11_helper.c" -lX11

# start_x and stop_x, shared with the end-to-end tests (their Xvfb log goes
# to $out). They are called in || lists, where set -e leaves them be.
out=$work
. "$root/tests/x_server.sh"
cleanup() {
    [ -n "$show" ] && kill "$show" 2>/dev/null
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# User plus system time of a process, in clock ticks.
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
hz=$(getconf CLK_TCK)
now() { date +%s.%N; }

for size in "${sizes[@]}"; do
    start_x "${size}x24" 120 160 || { echo "no X display could be started" >&2; exit 1; }
    "$work/x11_helper" lit 10000 >"$work/lit.txt" &
    watcher=$!
    sleep 0.5  # the watcher has its reference picture
    t_start=$(now)
    "$bin" &
    show=$!
    wait "$watcher" || true
    t_lit=$(cat "$work/lit.txt")
    # The banner is wiped at about 5.5 s; the status line from then on is clean.
    sleep 6
    xdotool key h
    sleep 1.5
    t0=$(now)
    show0=$(ticks "$show")
    xvfb0=$(ticks "$xvfb")
    sleep "$seconds"
    t1=$(now)
    show1=$(ticks "$show")
    xvfb1=$(ticks "$xvfb")
    peak=$(awk '/^VmHWM/ {print $2}' "/proc/$show/status")
    rates=()
    for _ in 1 2 3; do
        xwd -root -silent -out "$work/shot.xwd"
        text=$("${probe[@]}" info "$work/shot.xwd" | sed -n 's/^text //p')
        [[ "$text" =~ _f:([0-9]+) ]] && rates+=("${BASH_REMATCH[1]}")
        sleep 1
    done
    xdotool key Escape
    wait "$show" || true
    show=""
    stop_x || true  # the server's status after the kill is not a failure here

    echo "== $size"
    awk -v ts="$t_start" -v tl="${t_lit:-}" -v t0="$t0" -v t1="$t1" -v hz="$hz" -v s0="$show0" -v s1="$show1" \
        -v x0="$xvfb0" -v x1="$xvfb1" -v peak="$peak" 'BEGIN {
        wall = t1 - t0
        if (tl != "") printf "first lit frame: %.2f s after start\n", tl - ts
        else print "first lit frame: not within 10 s"
        printf "CPU over %.1f s: show %.1f %%, X server %.1f %%, together %.1f %% of one core\n", wall,
            (s1 - s0) * 100 / hz / wall, (x1 - x0) * 100 / hz / wall, (s1 - s0 + x1 - x0) * 100 / hz / wall
        printf "peak memory of the show: %.1f MB\n", peak / 1024
    }'
    if [ ${#rates[@]} -gt 0 ]; then
        printf '%s\n' "${rates[@]}" | awk '{s += $1; if (min == "" || $1 < min) min = $1; if ($1 > max) max = $1}
            END {printf "frame rate on the status line: mean %.1f, min %d, max %d\n", s / NR, min, max}'
    else
        echo "frame rate: the status line could not be read"
    fi
done
