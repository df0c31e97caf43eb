#!/usr/bin/env bash
# The Debian package and the installed files: builds the package from the
# build tree with CPack, checks it with lintian, unpacks it into a temporary
# root, runs the programs from there and validates the desktop entry, the
# AppStream entry, the XScreenSaver entry and the manual pages. Then installs
# the build with `cmake --install` under a staging prefix and checks its
# layout. A missing tool skips it (fails it under CI), as require_tools.sh says.
#   tests/package.sh BUILD_DIR VERSION WORK_DIR
set -uo pipefail
build=$1 version=$2 work=$3

. "$(dirname "$0")/require_tools.sh"
require_tools cpack dpkg-deb dpkg-shlibdeps file lintian desktop-file-validate appstreamcli xmllint man scdoc

failures=0
checked=0  # failures when the last group of checks ended
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() {
  [ $failures -eq $checked ] && echo "ok: $*"
  checked=$failures
}

rm -rf "$work"
mkdir -p "$work"

# The package: name, control fields, lintian.
cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; echo "FAIL: cpack"; exit 1; }
deb=$work/out/starvane_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { ls "$work/out"; echo "FAIL: no $deb"; exit 1; }
pass "built $(basename "$deb"), $(stat -c %s "$deb") bytes"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = starvane ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), not $version"
[ "$(field Section)" = games ] || fail "Section: $(field Section)"
[[ "$(field Maintainer)" =~ ^.+\ \<.+@.+\>$ ]] || fail "Maintainer: '$(field Maintainer)'"
depends=$(field Depends)
libs=(libc6 libsdl2-2.0-0 libpng16-16)
# A build with the Wayland layer surfaces needs the Wayland client library.
objdump -p "$build/starvane" 2>/dev/null | grep -q 'NEEDED.*libwayland-client' && libs+=(libwayland-client0)
for lib in "${libs[@]}"; do
  [[ "$depends" == *"$lib "* ]] || fail "Depends lacks $lib: $depends"
done
[ "$(field Description | wc -l)" -ge 4 ] || fail "no long description"
pass "control fields"

if lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1; then
  pass "lintian: no errors"
else
  cat "$work/lintian.log"
  fail "lintian"
fi
grep -E '^[EW]: ' "$work/lintian.log" || true

# Unpacked: every file where it belongs.
root=$work/root
dpkg -x "$deb" "$root"
for f in usr/games/starvane usr/games/starvane-record \
  usr/share/man/man6/starvane.6.gz usr/share/man/man1/starvane-record.1.gz \
  usr/share/applications/starvane.desktop usr/share/metainfo/org.starvane.Starvane.metainfo.xml \
  usr/share/xscreensaver/config/starvane.xml usr/share/doc/starvane/copyright usr/share/doc/starvane/changelog.gz; do
  [ -f "$root/$f" ] || fail "missing $f"
done
for size in 16 22 24 32 48 64 128 256; do
  icon=$root/usr/share/icons/hicolor/${size}x${size}/apps/starvane.png
  file -b "$icon" | grep -q "PNG image data, $size x $size," || fail "icon ${size}x${size}: $(file -b "$icon")"
done
hack=$root/usr/libexec/xscreensaver/starvane
[ -L "$hack" ] && [ "$(readlink "$hack")" = ../../games/starvane ] ||
  fail "XScreenSaver hack is not a relative link to the show: $(readlink "$hack")"
pass "file layout"

# The programs run from the unpacked root, the hack through its link, and
# tell the package's version.
for program in "$root/usr/games/starvane" "$hack"; do
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY timeout 10 "$program" --version 2>"$work/stderr")
  status=$?
  [ $status -eq 0 ] && [ "$out" = "starvane $version" ] ||
    fail "$program --version: status $status, '$out' $(head -c 200 "$work/stderr")"
done
timeout 10 "$root/usr/games/starvane-record" --help | grep -q "^usage: starvane-record" ||
  fail "starvane-record --help"
pass "programs run"

# Desktop entry: valid, and names a program and an icon the package holds.
desktop=$root/usr/share/applications/starvane.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate"
grep -qx 'Exec=starvane' "$desktop" || fail "desktop entry Exec"
grep -qx 'Icon=starvane' "$desktop" || fail "desktop entry Icon"
grep -qx 'Terminal=false' "$desktop" || fail "desktop entry Terminal"

# AppStream: valid, with the package's version as its newest release, a
# screenshot and the desktop entry as launchable.
metainfo=$root/usr/share/metainfo/org.starvane.Starvane.metainfo.xml
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate"
xpath() { xmllint --xpath "$1" "$2" 2>/dev/null; }
[ "$(xpath 'string(/component/releases/release[1]/@version)' "$metainfo")" = "$version" ] ||
  fail "metainfo release is not $version"
[ -n "$(xpath 'string(/component/screenshots/screenshot/image)' "$metainfo")" ] || fail "metainfo has no screenshot"
[ "$(xpath 'string(/component/launchable)' "$metainfo")" = starvane.desktop ] || fail "metainfo launchable"

# XScreenSaver: well-formed, named after the hack, its command --root.
config=$root/usr/share/xscreensaver/config/starvane.xml
if xmllint --noout "$config"; then
  [ "$(xpath 'string(/screensaver/@name)' "$config")" = starvane ] || fail "xscreensaver entry name"
  [ "$(xpath 'string(/screensaver/command/@arg)' "$config")" = --root ] || fail "xscreensaver command is not --root"
else
  fail "xscreensaver entry is not well-formed XML"
fi
pass "desktop, AppStream and XScreenSaver entries"

# Manual pages: render without a warning and hold the sections a user looks for.
for page in man6/starvane.6.gz man1/starvane-record.1.gz; do
  text=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$root/usr/share/man/$page" 2>"$work/man.err")
  if [ -s "$work/man.err" ]; then
    cat "$work/man.err"
    fail "man -l $page warns"
  fi
  for section in NAME SYNOPSIS OPTIONS "EXIT STATUS" FILES; do
    grep -q "^$section\$" <<<"$text" || fail "$page has no $section section"
  done
  grep -q "starvane $version" <<<"$text" || fail "$page does not show version $version"
done
grep -q "^KEYS\$" <<<"$(MANWIDTH=80 man -l "$root/usr/share/man/man6/starvane.6.gz" 2>/dev/null)" ||
  fail "starvane.6 has no KEYS section"
pass "manual pages"

# A plain install under a staging prefix keeps the GNU layout: bin/ and a
# link from libexec/xscreensaver that resolves to the show.
cmake --install "$build" --prefix "$work/prefix" >"$work/install.log" 2>&1 ||
  { cat "$work/install.log"; fail "cmake --install"; }
for f in bin/starvane bin/starvane-record share/man/man6/starvane.6.gz share/applications/starvane.desktop; do
  [ -f "$work/prefix/$f" ] || fail "cmake --install: missing $f"
done
[ "$(readlink -f "$work/prefix/libexec/xscreensaver/starvane")" = "$(readlink -f "$work/prefix/bin/starvane")" ] ||
  fail "cmake --install: the hack link does not lead to bin/starvane"
pass "cmake --install layout"

if [ $failures -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "package: all checks passed"
