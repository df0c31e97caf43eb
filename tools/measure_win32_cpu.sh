#!/usr/bin/env bash
# CPU use of the screen saver's /s under Wine at 1920x1080 on each way of
# presenting: scaled through GDI, scaled through Direct3D 11, and the
# classic exclusive 1024 x 768 mode. One after the other on one private X
# server and Wine virtual desktop; for each, after a warm-up, the CPU time
# of the show, of wineserver and of the X server over SECONDS, as % of one
# core ("wine": wineserver and the desktop's explorer.exe), and the frames
# a second the show reached over its whole run.
#   tools/measure_win32_cpu.sh [CROSS_BUILD_DIR] [SECONDS] [PATHS...]
# PATHS are any of gdi, d3d11, classic (all three by default), and
# before=FILE: another starvane.scr's /s with no setting, such as an earlier
# build's. Needs what the Windows end-to-end tests need.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-win}
seconds=${2:-15}
shift $(($# > 2 ? 2 : $#))
paths=("$@")
[ ${#paths[@]} -eq 0 ] && paths=(gdi d3d11 classic)
[ -f "$build/starvane.scr" ] || { echo "no $build/starvane.scr: cross-build starvane_scr first" >&2; exit 1; }

desktop_size=1920x1080
. "$root/tests/win32/wine_session.sh" "$root" "$(mktemp -d)"
start_wine_desktop
cp "$build/starvane.scr" "$work/"

# User plus system time of processes, in clock ticks.
ticks() {
    local pid sum=0
    for pid in "$@"; do
        [ -r "/proc/$pid/stat" ] && sum=$((sum + $(awk '{print $14 + $15}' "/proc/$pid/stat")))
    done
    echo "$sum"
}
# Processes of this Wine prefix whose command line matches a pattern: other
# prefixes on the machine have their own wineserver and desktop.
prefix_pids() {
    local pid
    for pid in $(pgrep -f "$1"); do
        { tr '\0' '\n' <"/proc/$pid/environ"; } 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" && echo "$pid"
    done
}
hz=$(getconf CLK_TCK)
now() { date +%s.%N; }
percent() { awk -v t="$1" -v s="$2" -v hz="$hz" 'BEGIN { printf "%.1f", 100 * t / hz / s }'; }

printf '%-8s %8s %8s %8s %8s %6s\n' path show wine Xvfb total fps
for path in "${paths[@]}"; do
    program=starvane.scr
    present=$path
    if [ "${path%%=*}" = before ]; then
        cp "${path#before=}" "$work/before.scr"
        program=before.scr
        path=before
        present=auto
    elif [ "$path" = classic ]; then
        present=auto
    fi
    wine reg delete 'HKCU\Software\Starvane' /f >/dev/null 2>&1
    [ "$path" = classic ] && wine reg add 'HKCU\Software\Starvane' /v Display /t REG_DWORD /d 2 /f >/dev/null 2>&1
    (cd "$work" && STARVANE_PRESENT=$present wine "$program" /s >"$work/$path.out" 2>&1) &
    sleep 8  # start-up and the first bursts
    show=$(prefix_pids "$program /s" | tr '\n' ' ')
    server=$(prefix_pids '^/usr/lib/wine/wineserver|^wineserver' | tr '\n' ' ')
    desktop=$(prefix_pids 'explorer.exe' | tr '\n' ' ')
    t0=$(now)
    s0=$(ticks $show) w0=$(ticks $server $desktop) x0=$(ticks "$xvfb_pid")
    sleep "$seconds"
    t1=$(now)
    s1=$(ticks $show) w1=$(ticks $server $desktop) x1=$(ticks "$xvfb_pid")
    elapsed=$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')
    xdotool key a
    for _ in $(seq 50); do
        [ -n "$(prefix_pids "$program /s")" ] || break
        sleep 0.1
    done
    # "starvane: N frames in T s", over the whole run.
    fps=$(tr -d '\r' <"$work/$path.out" | awk '/ frames in / { printf "%.1f", $2 / $5 }')
    printf '%-8s %8s %8s %8s %8s %6s   (%s)\n' "$path" "$(percent $((s1 - s0)) "$elapsed")" \
        "$(percent $((w1 - w0)) "$elapsed")" "$(percent $((x1 - x0)) "$elapsed")" \
        "$(percent $((s1 - s0 + w1 - w0 + x1 - x0)) "$elapsed")" "${fps:--}" \
        "$(tr -d '\r' <"$work/$path.out" | head -n1)"

done
rm -rf "$out"
