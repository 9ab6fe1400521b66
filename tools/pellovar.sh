#!/usr/bin/env bash
# Set-up, build, and then either play or test, on Debian 12.
#   tools/pellovar.sh play   install what is missing, build, start the game
#   tools/pellovar.sh test   install what is missing, build, run every test
set -euo pipefail

cd "$(dirname "$0")/.."
BUILD=${PELLOVAR_BUILD:-build}

PACKAGES=(
  g++ cmake ninja-build pkg-config
  libsdl2-dev libcairo2-dev libpixman-1-dev zlib1g-dev libexpat1-dev libx11-dev
  libgtest-dev libbenchmark-dev
  xvfb xauth xdotool x11-utils x11-apps imagemagick python3 openbox
  dpkg-dev file desktop-file-utils appstream
  clang libclang-rt-14-dev
)

install_missing() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "Some packages are missing. Run this, then try again:" >&2
    echo "  sudo apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}"
}

build() {
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$BUILD" -j "$(nproc)"
}

case "${1:-}" in
  play)
    install_missing
    build
    exec "$BUILD/pellovar"
    ;;
  test)
    install_missing
    build
    cd "$BUILD"
    ctest --output-on-failure -j 1
    ;;
  *)
    echo "usage: $0 play|test" >&2
    exit 2
    ;;
esac
