#!/usr/bin/env bash
# CPU use of show commands under a headless sway (pixman renderer, one
# output of SIZE), as tools/measure_cpu.sh measures under Xvfb: after a
# warm-up past the banner, the user plus system time of the show and of the
# compositor over SECONDS, from /proc/PID/stat, as % of one core, and the
# show's peak memory (VmHWM). The commands take turns, ROUNDS times, so a
# noisy machine weighs on all of them alike. Needs root (sway runs as a user
# of its own; see tests/sway_server.sh).
#   tools/measure_wayland_cpu.sh SIZE SECONDS ROUNDS COMMAND...
#   e.g. tools/measure_wayland_cpu.sh 1920x1080 15 3 "build/starvane --layer" "build/starvane"
# Each COMMAND is a program and its options, one word each.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
size=$1 seconds=$2 rounds=$3
shift 3
out=$(mktemp -d)
. "$root/tests/sway_server.sh"
cleanup() {
    stop_sway
    rm -rf "$out"
}
trap cleanup EXIT
sway_home
start_sway || { echo "sway did not start" >&2; exit 1; }
swaymsg output HEADLESS-1 resolution "$size" position 0 0 >/dev/null

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
hz=$(getconf CLK_TCK)
compositor=$(child "$sway_runner")
i=0
for command in "$@"; do
    read -r -a words <<<"$command"
    cp "${words[0]}" "$tmp/bin/show-$i"
    chmod 755 "$tmp/bin/show-$i"
    i=$((i + 1))
done

for round in $(seq "$rounds"); do
    i=0
    for command in "$@"; do
        read -r -a words <<<"$command"
        on_sway_exec "$tmp/bin/show-$i" "${words[@]:1}" >"$out/show.log" 2>&1 &
        runner=$!
        runners="$runners $runner"
        show=$(child "$runner")
        sleep 7  # the banner is wiped at about 5.5 s
        s0=$(ticks "$show") c0=$(ticks "$compositor") t0=$(date +%s.%N)
        sleep "$seconds"
        s1=$(ticks "$show") c1=$(ticks "$compositor") t1=$(date +%s.%N)
        peak=$(awk '/^VmHWM/ {print $2}' "/proc/$show/status")
        kill -TERM "$show"
        status_of "$runner" 5 || echo "  (status $? after SIGTERM)"
        awk -v r="$round" -v c="$command" -v s="$((s1 - s0))" -v x="$((c1 - c0))" -v t0="$t0" -v t1="$t1" \
            -v hz="$hz" -v peak="$peak" -v size="$size" 'BEGIN {
            w = t1 - t0
            printf "round %d, %s, %s: show %.1f %%, sway %.1f %%, together %.1f %% of one core over %.1f s; peak %.1f MB\n",
                r, size, c, s * 100 / hz / w, x * 100 / hz / w, (s + x) * 100 / hz / w, w, peak / 1024 }'
        i=$((i + 1))
    done
done
