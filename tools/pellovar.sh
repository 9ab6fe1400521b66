#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Set-up, build, and then either play or test, on Debian 12.
#   tools/pellovar.sh play   install what the game needs, build only the game, start it
#   tools/pellovar.sh test   install what is missing, build everything, run every test
#   tools/pellovar.sh windows  install the MinGW-w64 cross tools, build the libraries
#                            for Windows (tools/windows-libs.sh, cached outside the
#                            tree), cross-build the game and pack its zip in
#                            build-windows
set -euo pipefail

cd "$(dirname "$0")/.."
BUILD=${PELLOVAR_BUILD:-build}

# What building and running the game needs.
GAME_PACKAGES=(
  g++ cmake ninja-build pkg-config
  libsdl2-dev libcairo2-dev libpixman-1-dev zlib1g-dev libexpat1-dev libx11-dev libxext-dev
  libwayland-dev
)
# What the tests, benchmarks, package check and fuzzing need besides.
TEST_PACKAGES=(
  libgtest-dev libbenchmark-dev
  xvfb xauth xdotool x11-utils x11-apps imagemagick python3 openbox weston
  xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils
  dpkg-dev file desktop-file-utils appstream lintian
  clang libclang-rt-14-dev
)

# What cross-building for Windows needs: the -posix MinGW-w64 compilers, the
# tools the libraries build with (cairo's and expat's scripts are made
# again, as Debian does), Wine to run the tests, and, for the glyph packer
# that runs while building, this machine's own compiler and zlib.
WINDOWS_PACKAGES=(
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools
  meson ninja-build pkg-config cmake make autoconf automake libtool dpkg-dev
  wine wine64 zip googletest g++ zlib1g-dev
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
  windows)
    install_missing "${WINDOWS_PACKAGES[@]}"
    prefix=$(tools/windows-libs.sh | tail -n 1)
    WINDOWS_BUILD=${PELLOVAR_WINDOWS_BUILD:-build-windows}
    cmake -S . -B "$WINDOWS_BUILD" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DPELLOVAR_WINDOWS_PREFIX="$prefix" \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF -DPELLOVAR_BENCH=OFF >/dev/null
    cmake --build "$WINDOWS_BUILD" -j "$(nproc)" --target pellovar
    # The zip a player unpacks: the game stripped, Cairo's DLL, the licences
    # of everything inside, and a short README.
    version=$(sed -n 's/^project(pellovar VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
    name=pellovar-$version-windows-x86_64
    stage=$WINDOWS_BUILD/zip/$name
    rm -rf "$WINDOWS_BUILD/zip" "$WINDOWS_BUILD/$name.zip"
    mkdir -p "$stage/licenses"
    x86_64-w64-mingw32-strip -o "$stage/pellovar.exe" "$WINDOWS_BUILD/pellovar.exe"
    cp "$WINDOWS_BUILD/libcairo-2.dll" "$stage/"
    sed 's/$/\r/' LICENSE >"$stage/LICENSE.txt"
    sed -e "s/@VERSION@/$version/" -e 's/$/\r/' packaging/windows/README.txt.in >"$stage/README.txt"
    while IFS=$'\t' read -r library _ folder; do
      [ "$library" = googletest ] || cp -r "$prefix/$folder" "$stage/licenses/$library"
    done <"$prefix/licenses.tsv"
    (cd "$WINDOWS_BUILD/zip" && zip -qr "../$name.zip" "$name")
    echo "Built $WINDOWS_BUILD/$name.zip"
    ;;
  *)
    echo "usage: $0 play|test|windows" >&2
    exit 2
    ;;
esac
