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
show_packages=(cmake g++ make pkg-config libsdl2-dev libpng-dev)
test_packages=(libgtest-dev libbenchmark-dev xvfb xdotool x11-apps x11-utils xauth
  imagemagick ffmpeg g++-mingw-w64-x86-64 wine64 wine libgl1-mesa-dri
  clang-14 libclang-rt-14-dev)

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
    cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
    cmake --build build -j"$(nproc)"
    exec ./build/starvane
    ;;
  test)
    install_missing "${show_packages[@]}" "${test_packages[@]}"
    cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
    cmake --build build -j"$(nproc)"
    ctest --test-dir build --output-on-failure -j2 --timeout 600 --repeat until-pass:2
    exec tools/dev.sh sanitize
    ;;
  sanitize)
    install_missing "${show_packages[@]}" "${test_packages[@]}"
    cmake -S . -B build-san -DCMAKE_BUILD_TYPE=Release -DSTARVANE_SANITIZE=ON
    cmake --build build-san -j"$(nproc)" --target starvane-tests starvane-sdl-tests starvane-replay starvane-record
    # Some tests ask for impossible amounts of memory on purpose and expect
    # a null pointer back, not the sanitizer's report.
    ASAN_OPTIONS=allocator_may_return_null=1 \
      ctest --test-dir build-san --output-on-failure -j2 --timeout 600 -E 'e2e'
    ;;
  *)
    echo "usage: tools/dev.sh show|test|sanitize" >&2
    exit 2
    ;;
esac
