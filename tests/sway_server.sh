# Shell helpers for running things under a headless sway; sourced by
# tests/wayland_e2e.sh and tools/measure_wayland_cpu.sh. sway will not run as
# root, so it and every Wayland client run as an unprivileged user of the
# caller's (`sway_user`). The caller sets `out` (its log folder) and must be
# root.
#
#   sway_home               makes `tmp` (removed by stop_sway): the user's
#                           home, runtime folder, bin/ and shots/
#   start_sway              starts sway with no outputs but its first; sets
#                           `wayland` (the socket's name) and exports
#                           SWAYSOCK; status 1 when it did not come up
#   as_user CMD...          runs CMD as the user, in a clean environment
#   on_sway CMD...          the same, with WAYLAND_DISPLAY set
#   as_user_exec, on_sway_exec   the same for `... &`: the background job is
#                           runuser itself, so $! names it (a "runner")
#   child RUNNER            the pid of the program a runner started
#   status_of RUNNER SECONDS   its exit status, 124 if it runs on
#   stop_sway               ends what was started, by the runners in
#                           `runners` and `sway_runner`, and removes `tmp`

sway_user=starvane-wl
sway_runner=""
runners=""
wayland=""
tmp=""

sway_home() {
    id "$sway_user" >/dev/null 2>&1 ||
        useradd --system --no-create-home --shell /usr/sbin/nologin "$sway_user" || return 1
    tmp=$(mktemp -d)
    chmod 755 "$tmp"
    mkdir -p "$tmp/home" "$tmp/run" "$tmp/bin" "$tmp/shots"
    chown "$sway_user" "$tmp/home" "$tmp/run" "$tmp/shots"
    chmod 700 "$tmp/run"
}

as_user() {
    runuser -u "$sway_user" -- env -i HOME="$tmp/home" XDG_RUNTIME_DIR="$tmp/run" PATH=/usr/bin:/bin "$@"
}
on_sway() { as_user WAYLAND_DISPLAY="$wayland" "$@"; }
as_user_exec() {
    exec runuser -u "$sway_user" -- env -i HOME="$tmp/home" XDG_RUNTIME_DIR="$tmp/run" PATH=/usr/bin:/bin "$@"
}
on_sway_exec() { as_user_exec WAYLAND_DISPLAY="$wayland" "$@"; }

child() {
    local pid
    for _ in $(seq 50); do
        pid=$(pgrep -P "$1" | head -n 1)
        [ -n "$pid" ] && { echo "$pid"; return 0; }
        sleep 0.05
    done
    return 1
}

status_of() {
    for _ in $(seq $(($2 * 20))); do
        kill -0 "$1" 2>/dev/null || break
        sleep 0.05
    done
    kill -0 "$1" 2>/dev/null && return 124
    wait "$1"
}

start_sway() {
    printf 'default_border none\nfocus_follows_mouse no\n' >"$tmp/sway.conf"
    chmod 644 "$tmp/sway.conf"
    as_user_exec WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman sway -c "$tmp/sway.conf" \
        >"$out/sway.log" 2>&1 &
    sway_runner=$!
    local sock=""
    for _ in $(seq 100); do
        wayland=$(cd "$tmp/run" && ls wayland-[0-9] 2>/dev/null | head -n 1)
        sock=$(ls "$tmp/run"/sway-ipc.*.sock 2>/dev/null | head -n 1)
        [ -n "$wayland" ] && [ -n "$sock" ] && break
        kill -0 "$sway_runner" 2>/dev/null || return 1
        sleep 0.1
    done
    [ -n "$wayland" ] && [ -n "$sock" ] || return 1
    export SWAYSOCK=$sock
}

stop_sway() {
    for r in $runners $sway_runner; do
        for pid in $(pgrep -P "$r"); do kill -KILL "$pid" 2>/dev/null; done
    done
    wait 2>/dev/null
    [ -n "$tmp" ] && rm -rf "$tmp"
    tmp=""
}
