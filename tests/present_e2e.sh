#!/usr/bin/env bash
# The screen read back against the show's picture on a virtual X server:
# full screen and the root window at 1024x768, 1920x1080 and 3840x2160 on
# the processor, full screen on the GPU path (Mesa's software rasteriser
# here: correctness only), and covered windows presenting nothing.
#   tests/present_e2e.sh BUILD/present-check ARTEFACT_DIR
# Exit 0 passed, 1 failed, 77 skipped (a tool is missing).
set -u
check=$1
out=$2
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tests/x_server.sh"
require_tools Xvfb xwd
rm -rf "$out"
mkdir -p "$out"

run() {
    echo "== $*"
    "$check" "$@" >"$out/check.txt" 2>"$out/stderr.txt"
    local status=$?
    cat "$out/check.txt"
    [ "$status" -eq 0 ] || fail "present-check $* (status $status)"
}

for size in 1024x768 1920x1080 3840x2160; do
    start_x "${size}x24" 99 140 || fail "no X display could be started"
    echo "### $size"
    run full cpu
    run root cpu
    run full gpu
    stop_x
done
start_x 1024x768x24 99 140 || fail "no X display could be started"
run covered cpu
run covered gpu
stop_x
echo "PASS: present_e2e"
