#!/usr/bin/env bash
# What the show costs on a virtual X server, the same way every time: for
# each screen size, each way of showing (the root window, full screen) and
# each program, in turns over a few rounds, the CPU of the program plus the
# X server (as % of one core) over a stretch after a warm-up, the program's
# peak memory (VmHWM), its mean frame rate and the time to its first lit
# frame, twice: as a watcher saw it on the screen (it grabs the whole screen
# over and over, so it is coarse at large sizes and slows the start it
# watches) and as the show counts it from its process's start to the first
# lit pixels it sent (its --verbose line). Prints one table of medians (the
# range over the rounds after the CPU figure).
#
#   tools/measure_cpu.sh [options] [PROGRAM...]
#     PROGRAM         starvane builds to compare (default build/starvane)
#     --seconds N     the measured stretch (default 10)
#     --seed N        the show's seed (default 1), for builds that take one
#     --sizes "WxH.." screen sizes (default "1024x768 1920x1080 3840x2160")
#     --modes "root full"  ways of showing (default both)
#     --rounds N      rounds (default 3)
#     --other CMD     another program's command, run as given on the root
#                     window of the same servers (for example
#                     "/usr/libexec/xscreensaver/fireworkx -root")
#
# The frame rate comes from the show's own counters (its --verbose line at
# the end); a build without --verbose shows it on its status line, which is
# read back through the program's glyph table after the measured stretch.
# Needs Xvfb, xdotool, xwd, python3 and a C compiler with the X11 headers.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=10
seed=1
sizes="1024x768 1920x1080 3840x2160"
modes="root full"
rounds=3
other=""
programs=()
while [ $# -gt 0 ]; do
    case $1 in
    --seconds) seconds=$2; shift 2 ;;
    --seed) seed=$2; shift 2 ;;
    --sizes) sizes=$2; shift 2 ;;
    --modes) modes=$2; shift 2 ;;
    --rounds) rounds=$2; shift 2 ;;
    --other) other=$2; shift 2 ;;
    -*) echo "measure_cpu.sh: unknown option $1" >&2; exit 2 ;;
    *) programs+=("$1"); shift ;;
    esac
done
[ ${#programs[@]} -eq 0 ] && programs=("$root/build/starvane")
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

# One run: measure NAME SIZE MODE COMMAND...; appends a line to results.
measure() {
    local name=$1 size=$2 mode=$3
    shift 3
    start_x "${size}x24" 120 160 || { echo "no X display could be started" >&2; exit 1; }
    "$work/x11_helper" lit 10000 >"$work/lit.txt" &
    local watcher=$!
    sleep 0.5  # the watcher has its reference picture
    local t_start t_lit
    t_start=$(now)
    "$@" 2>"$work/stderr.txt" &
    show=$!
    wait "$watcher" || true
    t_lit=$(cat "$work/lit.txt")
    sleep 3  # warm-up
    local t0 t1 show0 show1 x0 x1 peak rate=""
    t0=$(now)
    show0=$(ticks "$show")
    x0=$(ticks "$xvfb")
    sleep "$seconds"
    t1=$(now)
    show1=$(ticks "$show")
    x1=$(ticks "$xvfb")
    peak=$(awk '/^VmHWM/ {print $2}' "/proc/$show/status")
    if [ "$name" != other ] && ! grep -q -- --verbose <<<"$("$1" --help 2>/dev/null)"; then
        # An older build: the frame rate from its status line.
        xdotool key h
        sleep 1.5
        local rates=()
        for _ in 1 2 3; do
            xwd -root -silent -out "$work/shot.xwd"
            text=$("${probe[@]}" info "$work/shot.xwd" | sed -n 's/^text //p')
            [[ "$text" =~ _f:([0-9]+) ]] && rates+=("${BASH_REMATCH[1]}")
            sleep 1
        done
        [ ${#rates[@]} -gt 0 ] && rate=$(printf '%s\n' "${rates[@]}" | awk '{s += $1} END {printf "%.1f", s / NR}')
    fi
    kill -TERM "$show" 2>/dev/null || true
    wait "$show" || true
    show=""
    stop_x || true  # the server's status after the kill is not a failure here
    if [ -z "$rate" ]; then
        rate=$(sed -n 's/^starvane: .* frames in .* s, \([0-9.]*\) a second.*/\1/p' "$work/stderr.txt")
    fi
    own=$(sed -n 's/^starvane: first lit frame sent \([0-9.]*\) s.*/\1/p' "$work/stderr.txt")
    awk -v n="$name" -v sz="$size" -v m="$mode" -v ts="$t_start" -v tl="${t_lit:-}" -v t0="$t0" -v t1="$t1" \
        -v hz="$hz" -v s0="$show0" -v s1="$show1" -v x0="$x0" -v x1="$x1" -v peak="$peak" -v rate="${rate:--}" \
        -v own="${own:--}" 'BEGIN {
        wall = t1 - t0
        lit = tl != "" ? sprintf("%.2f", tl - ts) : "-"
        printf "%s %s %s %.2f %.2f %.1f %s %s %s\n", sz, m, n, (s1 - s0) * 100 / hz / wall, (x1 - x0) * 100 / hz / wall,
            peak / 1024, rate, lit, own
    }' >>"$work/results.txt"
    tail -1 "$work/results.txt" >&2
}

: >"$work/results.txt"
for round in $(seq "$rounds"); do
    echo "round $round" >&2
    for size in $sizes; do
        for mode in $modes; do
            for i in "${!programs[@]}"; do
                bin=${programs[$i]}
                args=()
                grep -q -- --seed <<<"$("$bin" --help 2>/dev/null)" && args+=(--seed "$seed" --verbose)
                [ "$mode" = root ] && args+=(--root)
                measure "$i" "$size" "$mode" "$bin" "${args[@]}"
            done
            # shellcheck disable=SC2086 # the other command is split as a shell would
            [ -n "$other" ] && [ "$mode" = root ] && measure other "$size" "$mode" $other
        done
    done
done

echo
for i in "${!programs[@]}"; do echo "program $i: ${programs[$i]}"; done
[ -n "$other" ] && echo "program other: $other"
echo "CPU as % of one core, median of $rounds rounds of ${seconds} s (range); memory is the program's peak"
printf '%-10s %-5s %-7s %-22s %-8s %-8s %-9s %s\n' size mode program "show+X (range)" show X "peak MB" "fps  first lit, screen and own (s)"
sort -k1,1V -k2,2 -k3,3 "$work/results.txt" | awk '
    function median(list, n,   a, i, j, t) {
        n = split(list, a, " ")
        for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (a[j] + 0 < a[i] + 0) { t = a[i]; a[i] = a[j]; a[j] = t }
        return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
    }
    function mid(list) { return list ~ /-/ ? "-" : median(list) }
    function flush() {
        if (key == "") return
        n = split(tot, all, " "); lo = all[1]; hi = all[1]
        for (i = 1; i <= n; i++) { if (all[i] + 0 < lo + 0) lo = all[i]; if (all[i] + 0 > hi + 0) hi = all[i] }
        split(key, part, SUBSEP)
        printf "%-10s %-5s %-7s %5.1f %% (%.1f-%.1f)   %-8.1f %-8.1f %-9.1f %s  %s  %s\n", part[1], part[2], part[3],
            median(tot), lo, hi, median(sh), median(xs), median(mem), mid(fps), mid(lit), mid(own)
    }
    {
        this = $1 SUBSEP $2 SUBSEP $3
        if (this != key) { flush(); key = this; tot = sh = xs = mem = fps = lit = own = "" }
        tot = tot " " ($4 + $5); sh = sh " " $4; xs = xs " " $5; mem = mem " " $6; fps = fps " " $7; lit = lit " " $8
        own = own " " $9
    }
    END { flush() }'
