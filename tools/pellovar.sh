#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Set-up, build, and then either play or test, on Debian 12.
#   tools/pellovar.sh play   install what the game needs, build only the game, start it
#   tools/pellovar.sh test   install what is missing, build everything, run every test
set -euo pipefail

cd "$(dirname "$0")/.."
BUILD=${PELLOVAR_BUILD:-build}

# What building and running the game needs.
GAME_PACKAGES=(
  g++ cmake ninja-build pkg-config
  libsdl2-dev libcairo2-dev libpixman-1-dev zlib1g-dev libexpat1-dev libx11-dev libxext-dev
)
# What the tests, benchmarks, package check and fuzzing need besides.
TEST_PACKAGES=(
  libgtest-dev libbenchmark-dev
  xvfb xauth xdotool x11-utils x11-apps imagemagick python3 openbox
  dpkg-dev file desktop-file-utils appstream lintian
  clang libclang-rt-14-dev
)

install_missing() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    # Plain Debian has no sudo: su -c '...' asks for root's password.
    echo "Some packages are missing. Run this as root (su -c '...' or sudo), then try again:" >&2
    echo "  apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}"
}

# build ON|OFF [TARGET]: with or without the tests and benchmarks.
build() {
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DBUILD_TESTING="$1" -DPELLOVAR_BENCH="$1" >/dev/null
  cmake --build "$BUILD" -j "$(nproc)" ${2:+--target "$2"}
}

case "${1:-}" in
  play)
    install_missing "${GAME_PACKAGES[@]}"
    build OFF pellovar
    exec "$BUILD/pellovar"
    ;;
  test)
    install_missing "${GAME_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
    build ON
    cd "$BUILD"
    ctest --output-on-failure -j 1
    ;;
  *)
    echo "usage: $0 play|test" >&2
    exit 2
    ;;
esac
