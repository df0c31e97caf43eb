#!/usr/bin/env bash
# Runs the SDL show under a virtual X server for a while and reports its CPU
# use and the frame rates its status line shows (read back from screen
# captures through the program's own glyph table).
#   tools/measure_cpu.sh [BUILD/starvane] [SECONDS]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-$root/build/starvane}
seconds=${2:-20}
probe=(python3 "$root/tools/screen_probe.py")
work=$(mktemp -d)

xvfb=""
show=""
cleanup() {
    [ -n "$show" ] && kill "$show" 2>/dev/null
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

display=""
for n in $(seq 120 160); do
    { [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; } && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    for _ in $(seq 50); do
        [ -e "/tmp/.X11-unix/X$n" ] && break
        sleep 0.1
    done
    if kill -0 "$xvfb" 2>/dev/null; then
        display=":$n"
        break
    fi
    xvfb=""
done
[ -n "$display" ] || { echo "no X display could be started" >&2; exit 1; }
export DISPLAY=$display

# User plus system time of a process, in clock ticks.
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
hz=$(getconf CLK_TCK)

"$bin" &
show=$!
sleep 1
t0=$(date +%s.%N)
show0=$(ticks "$show")
xvfb0=$(ticks "$xvfb")

# The banner is wiped at about 5.5 s; the status line from then on is clean.
sleep 5
xdotool key h
sleep 1.5
rates=()
end=$(awk -v a="$t0" -v b="$seconds" 'BEGIN {printf "%.3f", a + b}')
while awk -v now="$(date +%s.%N)" -v end="$end" 'BEGIN {exit !(now < end)}'; do
    xwd -root -silent -out "$work/shot.xwd"
    text=$("${probe[@]}" info "$work/shot.xwd" | sed -n 's/^text //p')
    [[ "$text" =~ _f:([0-9]+) ]] && rates+=("${BASH_REMATCH[1]}")
    sleep 1
done
t1=$(date +%s.%N)
show1=$(ticks "$show")
xvfb1=$(ticks "$xvfb")
xdotool key Escape
wait "$show" || true
show=""

awk -v t0="$t0" -v t1="$t1" -v hz="$hz" -v s0="$show0" -v s1="$show1" -v x0="$xvfb0" -v x1="$xvfb1" 'BEGIN {
    wall = t1 - t0
    printf "run: %.1f s of wall time\n", wall
    printf "show CPU: %.1f %% of one core\n", (s1 - s0) * 100 / hz / wall
    printf "X server CPU: %.1f %% of one core\n", (x1 - x0) * 100 / hz / wall
}'
if [ ${#rates[@]} -gt 0 ]; then
    printf '%s\n' "${rates[@]}" | awk '{s += $1; if (min == "" || $1 < min) min = $1; if ($1 > max) max = $1}
        END {printf "frame rate on the status line: mean %.1f, min %d, max %d over %d readings\n", s / NR, min, max, NR}'
else
    echo "frame rate: the status line could not be read"
fi
