# Shell helpers for the end-to-end tests that run on a virtual X server;
# sourced by them. The caller sets `out` (its artefact folder) first.
#
#   require_tools TOOL...   from require_tools.sh: skips the test (fails it
#                           under CI), naming the first one missing
#   start_x SIZE FIRST LAST starts Xvfb of SIZE (1024x768x24) on the first
#                           free display number of FIRST..LAST (its lock file
#                           must name it), a server that does not reset when
#                           its last client leaves; sets `xvfb` (its pid) and
#                           `display`, exports DISPLAY; status 1 when none
#                           could be started
#   stop_x                  ends that server
#   fail MESSAGE            FAIL with the show's stderr ($out/stderr.txt), exit 1
#   stop_started            ends what the test started, by the pids in `show`,
#                           `helper_pid` and `xvfb`; installed on EXIT

. "$(dirname "${BASH_SOURCE[0]}")/require_tools.sh"

start_x() {
    display=""
    for n in $(seq "$2" "$3"); do
        { [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; } && continue
        Xvfb ":$n" -screen 0 "$1" -nolisten tcp -noreset >>"$out/xvfb.log" 2>&1 &
        xvfb=$!
        for _ in $(seq 50); do
            [ -e "/tmp/.X11-unix/X$n" ] && break
            kill -0 "$xvfb" 2>/dev/null || break
            sleep 0.1
        done
        # Ours only if its lock names it: another test may have started a
        # server on the same number a moment earlier.
        if kill -0 "$xvfb" 2>/dev/null && [ "$(tr -d ' \n' <"/tmp/.X$n-lock" 2>/dev/null)" = "$xvfb" ] &&
            DISPLAY=":$n" xwd -root -silent -out /dev/null 2>/dev/null; then
            display=":$n"
            export DISPLAY=$display
            return 0
        fi
        kill "$xvfb" 2>/dev/null
        wait "$xvfb" 2>/dev/null
        xvfb=""
    done
    return 1
}

stop_x() {
    kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
    xvfb=""
}

fail() {
    echo "FAIL: $*"
    [ -s "$out/stderr.txt" ] && sed 's/^/show stderr: /' "$out/stderr.txt"
    exit 1
}

xvfb=""
show=""
helper_pid=""
stop_started() {
    for pid in $show $helper_pid $xvfb; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
}
trap stop_started EXIT
