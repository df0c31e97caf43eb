#!/usr/bin/env bash
# Sets up a Debian machine for Starvane, builds it, and either starts the
# show or runs every test.
#   tools/dev.sh show    install what is missing, build, start the show
#   tools/dev.sh test    install what is missing, build, run the whole suite,
#                        then the sanitizer pass below
#   tools/dev.sh sanitize   the unit and replay tests built with ASan and UBSan
#                        (build-san), every finding fatal
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-show}

# Packages the build and the show need, then those only the tests need.
show_packages=(cmake g++ make pkg-config libsdl2-dev libpng-dev libx11-dev libxext-dev)
test_packages=(libgtest-dev libbenchmark-dev libpixman-1-dev linux-perf xvfb xdotool x11-apps x11-utils xauth
  imagemagick ffmpeg g++-mingw-w64-x86-64 wine64 wine libgl1-mesa-dri xscreensaver procps
  emscripten chromium nodejs clang-14 libclang-rt-14-dev)
# Wayland layer surfaces (--layer); the end-to-end test's headless compositor,
# screenshots, a window to cover the show and a virtual keyboard.
show_packages+=(libwayland-dev wayland-protocols libxkbcommon-dev)
test_packages+=(sway grim foot wtype)
# The manual pages' source format; then the Debian package and its validators.
show_packages+=(scdoc)
test_packages+=(dpkg-dev file lintian desktop-file-utils appstream libxml2-utils man-db)

install_missing() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}

case "$mode" in
  show)
    install_missing "${show_packages[@]}"
    # Both modes share build/ and say what they want of it, so neither
    # inherits the other's choices from the cache.
    cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DSTARVANE_WEB=OFF
    cmake --build build -j"$(nproc)"
    exec ./build/starvane
    ;;
  test)
    install_missing "${show_packages[@]}" "${test_packages[@]}"
    # npm comes with some builds of nodejs and as its own package with Debian's.
    command -v npm >/dev/null || install_missing npm
    # The browser test's driver, from the npm registry, as the lock file pins it.
    [ tests/web/node_modules/.package-lock.json -nt tests/web/package-lock.json ] ||
      npm ci --prefix tests/web --no-audit --no-fund
    cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON -DSTARVANE_WEB=ON
    cmake --build build -j"$(nproc)"
    ctest --test-dir build --output-on-failure -j2 --timeout 600 --no-tests=error
    exec tools/dev.sh sanitize
    ;;
  sanitize)
    install_missing "${show_packages[@]}" "${test_packages[@]}"
    cmake -S . -B build-san -DCMAKE_BUILD_TYPE=Release -DSTARVANE_SANITIZE=ON -DSTARVANE_WEB=OFF
    cmake --build build-san -j"$(nproc)" --target starvane-tests starvane-sdl-tests starvane-wayland-tests \
      starvane-golden-run starvane-replay starvane-record
    # Some tests ask for impossible amounts of memory on purpose and expect
    # a null pointer back, not the sanitizer's report. The end-to-end tests,
    # the Windows harness under Wine and the package check run in the normal
    # pass only.
    ASAN_OPTIONS=allocator_may_return_null=1 \
      ctest --test-dir build-san --output-on-failure -j2 --timeout 600 -E 'e2e|^replay_wine|^package$' --no-tests=error
    ;;
  *)
    echo "usage: tools/dev.sh show|test|sanitize" >&2
    exit 2
    ;;
esac
