#!/usr/bin/env bash
# The show as a screensaver: the real XScreenSaver daemon on a virtual X
# server, running as an unprivileged user (the daemon starts no program as
# root) with a ~/.xscreensaver whose only program is `starvane --root`.
# Activating it must show the banner and the grand burst; deactivating it
# must end the show within a second, leaving no process behind.
#   tests/xscreensaver_e2e.sh BUILD/starvane ARTEFACT_DIR
# Exit 0 passed, 1 failed, 77 skipped (not root, or a tool is missing).
set -u
bin=$1
out=$2
root=$(cd "$(dirname "$0")/.." && pwd)
probe=(python3 "$root/tools/screen_probe.py")
user=starvane-e2e

. "$root/tests/x_server.sh"
require_tools Xvfb xwd python3 xscreensaver xscreensaver-command runuser useradd pgrep
[ "$(id -u)" -eq 0 ] || missing "root, to run the daemon as a user of its own"
id "$user" >/dev/null 2>&1 || useradd --system --no-create-home --shell /usr/sbin/nologin "$user" || {
    echo "FAIL: cannot create the user $user"
    exit 1
}
rm -rf "$out"
mkdir -p "$out"

# The user's home and a copy of the program it may read, outside any
# folder the user might not be let into.
tmp=$(mktemp -d)
chmod 755 "$tmp"
home=$tmp/home
mkdir -p "$home" "$tmp/bin"
cp "$bin" "$tmp/bin/starvane"
chmod 755 "$tmp/bin/starvane"
cat >"$home/.xscreensaver" <<EOT
mode:		one
selected:	0
timeout:	1:00:00
cycle:		0
lock:		False
splash:		False
fade:		False
unfade:		False
dpmsEnabled:	False
grabDesktopImages: False
programs:	"Starvane" $tmp/bin/starvane --root \n
EOT
chown -R "$user" "$home"

xvfb=""
daemon=""
cleanup() {
    [ -n "$daemon" ] && kill "$daemon" 2>/dev/null
    for pid in $(pgrep -u "$user" -f "$tmp/bin/starvane"); do kill -KILL "$pid" 2>/dev/null; done
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$tmp"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    [ -s "$out/daemon.log" ] && tail -n 20 "$out/daemon.log" | sed 's/^/daemon: /'
    exit 1
}

start_x 1024x768x24 141 180 || fail "no X display could be started"

as_user() { runuser -u "$user" -- env -i HOME="$home" DISPLAY="$display" PATH=/usr/bin:/bin "$@"; }
shows() { pgrep -u "$user" -f "$tmp/bin/starvane"; }

as_user xscreensaver -no-splash >"$out/daemon.log" 2>&1 &
daemon=$!
for _ in $(seq 100); do
    as_user xscreensaver-command -time >/dev/null 2>&1 && break
    kill -0 "$daemon" 2>/dev/null || fail "the daemon ended at once"
    sleep 0.2
done
as_user xscreensaver-command -time >/dev/null 2>&1 || fail "the daemon does not answer"

as_user xscreensaver-command -activate >/dev/null 2>&1 || fail "xscreensaver-command -activate failed"
"${probe[@]}" startup "$display" "$out" >"$out/startup.txt" || fail "the banner never showed"
cat "$out/startup.txt"
text=$(sed -n 's/^text //p' "$out/startup.txt")
burst=$(sed -n 's/^burst //p' "$out/startup.txt")
[ "$text" = "___Press 'H' For Help" ] || fail "banner reads '$text'"
[ "$burst" -ge 150 ] || fail "no grand burst at the centre ($burst lit pixels)"
[ -n "$(shows)" ] || fail "no show process while active"
for f in first second; do convert "xwd:$out/$f.xwd" "$out/$f.png" 2>/dev/null && rm -f "$out/$f.xwd"; done

# Deactivate: the daemon stops the show with SIGTERM.
as_user xscreensaver-command -deactivate >/dev/null 2>&1 || fail "xscreensaver-command -deactivate failed"
start=$(date +%s%N)
while [ -n "$(shows)" ]; do
    [ $(($(date +%s%N) - start)) -gt 3000000000 ] && break
    sleep 0.02
done
ms=$((($(date +%s%N) - start) / 1000000))
echo "deactivate: the show ended after $ms ms"
[ -z "$(shows)" ] || fail "the show still runs $ms ms after -deactivate"
[ "$ms" -le 1000 ] || fail "the show took $ms ms to end (at most 1000)"
grep -i "starvane" "$out/daemon.log" | grep -iE "exit|signal|crash" && fail "the daemon reports the show ended badly"

echo "PASS: xscreensaver_e2e (captures in $out)"
