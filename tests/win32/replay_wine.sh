#!/usr/bin/env bash
# The replay harness cross-built for Windows and run under Wine, against the
# native one: the same bytes on stdout and stderr, the same status.
#   replay_wine.sh setup SOURCE_DIR WIN_BUILD_DIR STATE_DIR
#   replay_wine.sh run NATIVE_REPLAY SCRIPT STATE_DIR [stdin]
#   replay_wine.sh cleanup STATE_DIR
# setup builds starvane-replay.exe in WIN_BUILD_DIR (the build the Windows
# end-to-end tests share), copies it into STATE_DIR and starts a wineserver
# that outlives its programs, on a prefix kept in STATE_DIR/prefix, so that
# each run starts only the program. run gives the Windows harness SCRIPT by
# its path, or on standard input with `stdin`; outputs stay in STATE_DIR.
# cleanup stops the server. Exit 0 passed, 1 failed, 77 skipped (a tool is
# missing; under CI=true that fails instead).
set -uo pipefail

fail() {
    echo "FAIL: $*"
    exit 1
}

# The loader itself: the `wine` wrapper is not always there, and it prints
# its own advice when the 32-bit half is missing.
loader=/usr/lib/wine/wine64
[ -x "$loader" ] || loader=$(command -v wine64)
wine_env() {
    export WINEPREFIX=$state/prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    # Only console programs run here; keep Wine off any display.
    unset DISPLAY WAYLAND_DISPLAY
}

case "${1:-}" in
setup)
    src=$(cd "$2" && pwd)
    build=$3
    state=$4
    mkdir -p "$state"
    rm -f "$state/skipped" "$state/starvane-replay.exe"
    for tool in x86_64-w64-mingw32-g++ x86_64-w64-mingw32-gcc cmake flock wineserver "${loader:-wine64}"; do
        if ! command -v "$tool" >/dev/null 2>&1; then
            line="${tool##*/} is not installed (tools/dev.sh test installs it)"
            echo "$line"
            [ "${CI:-}" = true ] && exit 1
            echo "$line" >"$state/skipped"
            exit 77
        fi
    done

    . "$src/tests/win32/cross_build.sh"
    cross_build "$build" starvane-replay
    cp "$build/starvane-replay.exe" "$state/" || fail "no $build/starvane-replay.exe"

    wine_env
    wineserver -k >/dev/null 2>&1 && wineserver -w
    # A prefix whose first boot did not finish is made again.
    [ -f "$state/prefix-ready" ] || rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    # Kept alive for five minutes after the last program, so that every run
    # finds the prefix's services up; cleanup ends it sooner. The server and
    # the services outlive this script: none of them may hold its output
    # open, or the test would not end before they do.
    wineserver -p300 </dev/null >"$state/wineserver.log" 2>&1 || fail "wineserver did not start"
    "$loader" wineboot -i </dev/null >"$state/wineboot.log" 2>&1 || { cat "$state/wineboot.log"; fail "wineboot"; }
    touch "$state/prefix-ready"
    ;;
run)
    native=$2
    script=$3
    state=$4
    mode=${5:-path}
    [ -f "$state/skipped" ] && { cat "$state/skipped"; exit 77; }
    [ -f "$state/starvane-replay.exe" ] || fail "no Windows harness in $state (replay_wine_setup builds it)"
    name=$(basename "$script" .script)
    [ "$mode" = stdin ] && name=$name.stdin
    out=$state/$name
    "$native" "$script" >"$out.native.out" 2>"$out.native.err"
    native_status=$?

    wine_env
    if [ "$mode" = stdin ]; then
        "$loader" "$state/starvane-replay.exe" <"$script" >"$out.windows.out" 2>"$out.windows.err"
    else
        # Z: is the Unix root in every prefix.
        winpath=Z:${script//\//\\}
        "$loader" "$state/starvane-replay.exe" "$winpath" >"$out.windows.out" 2>"$out.windows.err"
    fi
    windows_status=$?

    [ "$windows_status" = "$native_status" ] ||
        fail "status: native $native_status, Windows $windows_status; Windows stderr: $(head -c 500 "$out.windows.err")"
    cmp "$out.native.out" "$out.windows.out" ||
        fail "stdout differs from the native harness's ($out.native.out, $out.windows.out)"
    cmp "$out.native.err" "$out.windows.err" ||
        fail "stderr: native '$(head -c 500 "$out.native.err" | cat -v)', Windows '$(head -c 500 "$out.windows.err" | cat -v)'"
    echo "same stdout ($(wc -c <"$out.native.out") bytes), stderr ($(wc -c <"$out.native.err") bytes), status $native_status"
    ;;
cleanup)
    state=$2
    [ -d "$state/prefix" ] || exit 0
    wine_env
    wineserver -k >/dev/null 2>&1
    exit 0
    ;;
*)
    echo "usage: replay_wine.sh setup|run|cleanup ..." >&2
    exit 2
    ;;
esac
