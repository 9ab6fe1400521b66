#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the libraries the game links, for 64-bit Windows with MinGW-w64,
# from the Debian source packages of the release this machine runs, into a
# cache outside the work tree. Prints the cache's prefix on the last line
# of standard output; all else goes to standard error.
#
# The cache is keyed by this script, the toolchain file, the compiler and the
# source versions: a prefix whose key matches is reused as it is. Build
# steps hold the machine-wide build lock, one step at a time.
#
#   PELLOVAR_WINDOWS_CACHE  where the cache lives (/var/cache/pellovar-windows)
#   PELLOVAR_BUILD_LOCK     the lock (/tmp/pellovar-build.lock)
set -euo pipefail

cd "$(dirname "$0")/.."
SOURCE_TREE=$PWD
TOOLCHAIN_FILE=$SOURCE_TREE/cmake/mingw-w64-x86_64.cmake
CACHE_ROOT=${PELLOVAR_WINDOWS_CACHE:-/var/cache/pellovar-windows}
BUILD_LOCK=${PELLOVAR_BUILD_LOCK:-/tmp/pellovar-build.lock}
TRIPLET=x86_64-w64-mingw32
CC_WIN=$TRIPLET-gcc-posix
CXX_WIN=$TRIPLET-g++-posix
JOBS=2

# Debian source packages, in build order (cairo needs pixman).
SOURCES=(zlib expat pixman cairo libsdl2)

say() { echo "windows-libs: $*" >&2; }

# --- a private apt: its own sources, lists and cache, so that the machine's
# apt configuration and package lists stay as they are ---
APT_DIR=$CACHE_ROOT/apt
APT_OPTS=(
  -o "Dir::Etc::SourceList=$APT_DIR/sources.list"
  -o "Dir::Etc::SourceParts=$APT_DIR/sources.list.d"
  -o "Dir::State::Lists=$APT_DIR/lists"
  -o "Dir::Cache=$APT_DIR/cache"
  -o "Dir::Cache::pkgcache=" -o "Dir::Cache::srcpkgcache="
  # The downloads land in root's folders, where the sandbox user cannot write.
  -o "APT::Sandbox::User=root"
)
private_apt() { apt-get "${APT_OPTS[@]}" "$@"; }

# The deb-src lines for the machine's release suite (the codename only: the
# point releases fold the security fixes in), from the same mirrors and keys
# as its deb lines, in either format apt reads.
machine_deb_src_lines() {
  local codename=$1 f
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    awk -v suite="$codename" '
      $1 == "deb" {
        opts = ""; i = 2
        if ($2 ~ /^\[/) { while ($i !~ /\]$/) { opts = opts $i " "; i++ } opts = opts $i " "; i++ }
        if ($(i + 1) != suite) next
        line = "deb-src " opts $i " " $(i + 1)
        for (j = i + 2; j <= NF; j++) line = line " " $j
        print line
      }' "$f"
  done
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    # deb822: stanzas separated by blank lines; Enabled: no turns one off.
    awk -v suite="$codename" '
      function flush() {
        if (types ~ /(^| )deb( |$)/ && enabled != "no" && (" " suites " ") ~ (" " suite " ")) {
          opts = signed == "" ? "" : "[signed-by=" signed "] "
          n = split(uris, u, " ")
          for (k = 1; k <= n; k++) print "deb-src " opts u[k] " " suite " " comps
        }
        types = uris = suites = comps = signed = enabled = ""
      }
      /^[ \t]*#/ { next }
      /^[ \t]*$/ { flush(); next }
      {
        key = tolower($1); sub(/:$/, "", key); $1 = ""; sub(/^ +/, "")
        if (key == "types") types = $0
        else if (key == "uris") uris = $0
        else if (key == "suites") suites = $0
        else if (key == "components") comps = $0
        else if (key == "signed-by") signed = $0
        else if (key == "enabled") enabled = tolower($0)
      }
      END { flush() }' "$f"
  done
}

setup_private_apt() {
  local codename lines
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:?}")
  lines=$(machine_deb_src_lines "$codename" | sort -u)
  if [ -z "$lines" ]; then
    say "no Debian '$codename' entry among /etc/apt/sources.list{,.d/*}"
    exit 1
  fi
  mkdir -p "$APT_DIR/sources.list.d" "$APT_DIR/lists/partial" "$APT_DIR/cache/archives/partial"
  printf '%s\n' "# Written by tools/windows-libs.sh from the machine's own sources." \
    "$lines" >"$APT_DIR/sources.list.new"
  mv "$APT_DIR/sources.list.new" "$APT_DIR/sources.list"
  if ! private_apt -qq update >&2; then
    # Lists fetched before still name the versions: a warm cache can be used
    # without the network.
    ls "$APT_DIR"/lists/*Sources* >/dev/null 2>&1 || { say "apt-get update failed"; exit 1; }
    say "apt-get update failed; going on with the lists fetched before"
  fi
}

# The version apt-get source would fetch, from the .dsc it names.
source_version() {
  private_apt --print-uris source "$1" 2>/dev/null |
    awk -v p="$1" '$2 ~ ("^" p "_.*\\.dsc$") { v = $2; sub("^" p "_", "", v); sub(/\.dsc$/, "", v); print v; exit }'
}

# fetch_source NAME: unpack Debian's source package into $WORK/NAME. The
# downloads are kept, so another key with the same versions fetches nothing.
# Where Debian's own changes cannot be fetched (some mirrors in front of the
# archive serve no .diff.gz) but the upstream tarball can, that tarball is
# built alone, apt having checked it against the signed index; the manifest
# says so.
fetch_source() {
  local s=$1 v=${VERSION[$1]} orig
  if (cd "$CACHE_ROOT/sources" && private_apt -qq --download-only source "$s") >"$WORK/logs/$s-fetch.log" 2>&1; then
    dpkg-source -x "$CACHE_ROOT/sources/${s}_$v.dsc" "$WORK/$s" >"$WORK/logs/$s-unpack.log" 2>&1 ||
      { cat "$WORK/logs/$s-unpack.log" >&2; exit 1; }
    ORIGIN[$s]="Debian source package $s $v"
    return
  fi
  orig=$(private_apt --print-uris source "$s" 2>/dev/null | awk '$2 ~ /\.orig\.tar\./ { print $2; exit }')
  if [ -z "$orig" ] || [ ! -f "$CACHE_ROOT/sources/$orig" ]; then
    cat "$WORK/logs/$s-fetch.log" >&2
    say "could not fetch the source of $s $v"
    exit 1
  fi
  say "WARNING: Debian's changes to $s $v could not be fetched; building its upstream tarball $orig alone"
  mkdir -p "$WORK/$s"
  tar -xf "$CACHE_ROOT/sources/$orig" -C "$WORK/$s" --strip-components=1
  ORIGIN[$s]="upstream tarball $orig of Debian's $s $v, without Debian's changes (not fetchable)"
}

# --- the library builds: each runs in $WORK/<source> and installs into $PREFIX ---

# A meson cross file and a CMake command line for the same compilers.
write_meson_cross() {
  cat >"$WORK/meson-cross.txt" <<EOF
[binaries]
c = '$CC_WIN'
cpp = '$CXX_WIN'
ar = '$TRIPLET-ar'
strip = '$TRIPLET-strip'
windres = '$TRIPLET-windres'
pkgconfig = 'pkg-config'

[host_machine]
system = 'windows'
cpu_family = 'x86_64'
cpu = 'x86_64'
endian = 'little'
EOF
}
cmake_windows() {
  cmake -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN_FILE" -DPELLOVAR_WINDOWS_PREFIX="$PREFIX" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$PREFIX" "$@"
}

build_zlib() {
  # Debian's source drops win32/ (and with it the DLL's resource file that
  # zlib's CMake build wants for MinGW); configure --static needs neither.
  CHOST=$TRIPLET CC=$CC_WIN CFLAGS="-O2" ./configure --static --prefix="$PREFIX"
  make -j"$JOBS" libz.a
  make install
  license zlib "zlib" LICENSE
}

build_expat() {
  # Debian builds expat with autotools, and its backported fixes rely on
  # what that build defines (XML_DTD as 1); its CMake build would not do.
  cd expat
  ./buildconf.sh
  ./configure --host=$TRIPLET CC=$CC_WIN --prefix="$PREFIX" --disable-shared --enable-static \
    --without-xmlwf --without-examples --without-tests --without-docbook CFLAGS="-O2"
  make -j"$JOBS" -C lib
  make -C lib install
  make install-pkgconfigDATA
  license expat "MIT" COPYING
}

build_pixman() {
  # pixman marks its functions dllexport even in a static library, and every
  # DLL linking it (libcairo-2.dll) would then export them as its own.
  sed -i "s/^if cc.has_function_attribute('dllexport')\$/& and get_option('default_library') != 'static'/" \
    pixman/meson.build
  grep -q "dllexport') and get_option" pixman/meson.build
  meson setup build --cross-file "$WORK/meson-cross.txt" --prefix="$PREFIX" --libdir=lib \
    --buildtype=release -Ddefault_library=static -Dtests=disabled \
    -Dgtk=disabled -Dlibpng=disabled -Dopenmp=disabled
  ninja -C build -j "$JOBS"
  meson install -C build
  license pixman "MIT" COPYING
}

build_cairo() {
  # Debian's patches change configure.ac and Makefile.am, so the scripts are
  # made again, as Debian's own build does; the gtk-doc macros ship in build/.
  # One of them also limits the exports by a pattern, which libtool refuses
  # beside the list that cairo gives it on Windows (src/cairo.def): it is
  # taken back here.
  patch -R -p1 <debian/patches/03_export-symbols.patch
  GTKDOCIZE=true autoreconf -fi
  # Only image surfaces and paths are used. The win32 surface stays: 1.16.0
  # does not compile with both it and PDF off (cairo-misc.c then lacks
  # _cairo_utf8_to_utf16). A DLL, so that a user can replace it (LGPL);
  # pixman and the runtimes go inside it. cairo adds _FORTIFY_SOURCE=2
  # itself, which needs libssp. libtool links no static library into a DLL
  # unless told that any library will do.
  ./configure --host=$TRIPLET CC=$CC_WIN CXX=$CXX_WIN --prefix="$PREFIX" \
    --enable-shared --disable-static \
    --enable-win32 --disable-win32-font \
    --disable-xlib --disable-xlib-xrender --disable-xcb --disable-xcb-shm \
    --disable-png --disable-pdf --disable-ps --disable-svg --disable-script \
    --disable-ft --disable-fc --disable-gobject --disable-trace --disable-interpreter \
    --disable-symbol-lookup --disable-valgrind --disable-gtk-doc \
    --disable-gl --disable-glesv2 --disable-glesv3 --disable-egl --disable-glx --disable-wgl \
    --disable-full-testing lt_cv_deplibs_check_method=pass_all \
    CFLAGS="-O2" LDFLAGS="-static-libgcc -fstack-protector-strong -Wl,-Bstatic -Wl,--exclude-libs,ALL"
  make -j"$JOBS" -C src
  make -C src install
  license cairo "LGPL-2.1 or MPL-1.1" COPYING COPYING-LGPL-2.1 COPYING-MPL-1.1
}

build_libsdl2() {
  # Video (with the Windows, offscreen and dummy drivers), events, timers,
  # joysticks with game controllers and virtual pads. No audio, no 2D
  # renderer (the window surface then is GDI's, which SDL prefers on Windows
  # anyway), no OpenGL, GLES or Vulkan.
  cmake_windows -S . -B build -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF \
    -DSDL_AUDIO=OFF -DSDL_RENDER=OFF -DSDL_HAPTIC=OFF -DSDL_SENSOR=OFF -DSDL_POWER=OFF \
    -DSDL_OPENGL=OFF -DSDL_OPENGLES=OFF -DSDL_VULKAN=OFF -DSDL_RENDER_D3D=OFF \
    -DSDL_OFFSCREEN=ON -DSDL_DUMMYVIDEO=ON -DSDL_DIRECTX=ON -DSDL_XINPUT=ON \
    -DSDL_HIDAPI=ON -DSDL_VIRTUAL_JOYSTICK=ON -DSDL_CCACHE=OFF
  cmake --build build -j "$JOBS"
  cmake --install build
  license libsdl2 "zlib" LICENSE.txt
}

build_googletest() {
  # Threads through Windows' own primitives: a GoogleTest built with
  # winpthreads would disagree with its users, which see no pthreads on
  # Windows, about the layout of its classes.
  cmake_windows -S /usr/src/googletest -B build -DBUILD_SHARED_LIBS=OFF -DBUILD_GMOCK=ON \
    -Dgtest_disable_pthreads=ON
  cmake --build build -j "$JOBS"
  cmake --install build
  license googletest "BSD-3-Clause (the tests only, never shipped)" /usr/share/doc/googletest/copyright
}

# license NAME TERMS FILE...: the licence texts go into the prefix, with
# Debian's copyright file, and a line into the manifest.
license() {
  local name=$1 terms=$2 dir=$PREFIX/share/licenses/$1 f
  shift 2
  mkdir -p "$dir"
  for f in "$@"; do cp "$f" "$dir/"; done
  if [ -f "$WORK/$name/debian/copyright" ]; then cp "$WORK/$name/debian/copyright" "$dir/debian-copyright"; fi
  printf '%s\t%s\t%s\n' "$name" "$terms" "share/licenses/$name" >>"$PREFIX/licenses.tsv"
}

# The runtime that every program built with this toolchain carries inside.
license_toolchain() {
  local dir=$PREFIX/share/licenses
  mkdir -p "$dir/mingw-w64-runtime" "$dir/gcc-runtime"
  cp /usr/share/doc/mingw-w64-x86-64-dev/copyright "$dir/mingw-w64-runtime/debian-copyright"
  cp /usr/share/doc/gcc-mingw-w64-base/copyright "$dir/gcc-runtime/debian-copyright"
  printf '%s\t%s\t%s\n' \
    mingw-w64-runtime "CRT: ZPL-2.1 and public domain; winpthreads: MIT" share/licenses/mingw-w64-runtime \
    gcc-runtime "GPL-3 with the GCC Runtime Library Exception" share/licenses/gcc-runtime \
    >>"$PREFIX/licenses.tsv"
}

# step NAME: build one library in its unpacked source, holding the build lock.
step() {
  local name=$1 start log=$WORK/logs/$1.log
  start=$(date +%s)
  say "building $name"
  local status=0 locked
  # Not in an if or after ||, where bash would ignore set -e inside.
  set +e
  (set -e; cd "$WORK/$name"; flock 9; date +%s >"$log.locked"; "build_$name") 9>"$BUILD_LOCK" >"$log" 2>&1
  status=$?
  set -e
  if [ "$status" -ne 0 ]; then
    tail -n 40 "$log" >&2
    say "$name failed; its whole log: $log"
    exit 1
  fi
  locked=$(cat "$log.locked")
  say "$name built in $(($(date +%s) - locked)) s, after $((locked - start)) s waiting for the build lock"
}

# --- the key, and the cache ---
setup_private_apt
declare -A VERSION ORIGIN
for s in "${SOURCES[@]}"; do
  VERSION[$s]=$(source_version "$s")
  [ -n "${VERSION[$s]}" ] || { say "no source package $s in $APT_DIR/sources.list"; exit 1; }
done
VERSION[googletest]=$(dpkg-query -W -f='${Version}' googletest)
KEY_TEXT=$(
  sha256sum "$0" "$TOOLCHAIN_FILE" | cut -d' ' -f1
  for s in "${SOURCES[@]}" googletest; do echo "$s ${VERSION[$s]}"; done
  "$CC_WIN" -dumpfullversion
  dpkg-query -W -f='${Package} ${Version}\n' mingw-w64-x86-64-dev gcc-mingw-w64-x86-64-posix
)
KEY=$(echo "$KEY_TEXT" | sha256sum | cut -c1-16)
PREFIX=$CACHE_ROOT/$KEY
WORK=$CACHE_ROOT/work-$KEY

mkdir -p "$CACHE_ROOT"
# One build of a key at a time; a second waits and then finds it done.
exec 8>"$CACHE_ROOT/$KEY.lock"
flock 8
if [ -f "$PREFIX/manifest.txt" ]; then
  say "reusing $PREFIX"
  echo "$PREFIX"
  exit 0
fi

total_start=$SECONDS
rm -rf "$PREFIX" "$WORK"
mkdir -p "$PREFIX" "$WORK/logs" "$CACHE_ROOT/sources"
say "building into $PREFIX"

for s in "${SOURCES[@]}"; do fetch_source "$s"; done
mkdir -p "$WORK/googletest"
write_meson_cross
export PKG_CONFIG_LIBDIR=$PREFIX/lib/pkgconfig PKG_CONFIG_PATH=

for s in "${SOURCES[@]}" googletest; do step "$s"; done
license_toolchain
# libtool's archives carry build paths and nothing the game's build needs.
find "$PREFIX" -name '*.la' -delete

{
  echo "# Windows (x86_64-w64-mingw32) libraries for Pellovar; key $KEY"
  echo "$KEY_TEXT"
  for s in "${SOURCES[@]}"; do echo "$s: ${ORIGIN[$s]}"; done
  echo "# static: zlib expat pixman libsdl2 googletest; DLL: cairo (bin/libcairo-2.dll)"
  echo "# licences: licenses.tsv (name, terms, folder under this prefix)"
} >"$PREFIX/manifest.txt.new"
mv "$PREFIX/manifest.txt.new" "$PREFIX/manifest.txt"
rm -rf "$WORK"
say "done in $((SECONDS - total_start)) s"
echo "$PREFIX"
