#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Debian package as a user meets it: build it, check it with lintian (no
# error, no warning), install it with apt (which must resolve its
# dependencies), check its manual page and documents, validate the installed
# menu entry and metadata, start the installed game by its menu entry's
# command in Xvfb, close it, and remove the package. Needs root; changes the machine's packages, so it
# refuses to run where pellovar is installed already, and removes what it
# installed however it ends.
#   tests/e2e/package_check.sh [BUILD_DIR]      (default: build)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build}" && pwd)
app_id=org.pellovar.Pellovar
export DEBIAN_FRONTEND=noninteractive

if [ "$(id -u)" -ne 0 ]; then
  echo "package_check: needs root to install the package" >&2
  exit 1
fi
if dpkg-query -W -f='${Status}' pellovar 2>/dev/null | grep -q "install ok installed"; then
  echo "package_check: pellovar is installed already; remove it first (apt-get remove pellovar)" >&2
  exit 1
fi

echo "== building the package"
rm -f "$build"/pellovar_*.deb
# cpack only installs: the icons and the manual page must be built already.
cmake --build "$build" >/dev/null
(cd "$build" && cpack -G DEB >/dev/null)
debs=("$build"/pellovar_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "package_check: no single package built" >&2; exit 1; }
deb=${debs[0]}
dpkg-deb -f "$deb" Package Version Depends

echo "== lintian"
# Information and pedantic tags are shown; an error or a warning makes the
# status non-zero and fails the check, as does lintian failing to run.
status=0
lintian -I --pedantic --fail-on error,warning "$deb" \
  2> >(grep -v "running with root privileges is not recommended" >&2) || status=$?
if [ "$status" -ne 0 ]; then
  echo "package_check: lintian reports errors or warnings, or could not run (status $status)" >&2
  exit 1
fi

remove_package() { apt-get remove -y -qq pellovar >/dev/null 2>&1 || true; }
trap remove_package EXIT
trap 'exit 1' INT TERM HUP  # through the EXIT trap as well

echo "== installing $(basename "$deb")"
apt-get install -y -qq "$deb" >/dev/null
dpkg-query -W -f='${Status}\n' pellovar | grep -q "install ok installed"

echo "== installed files"
entry=/usr/share/applications/$app_id.desktop
metainfo=/usr/share/metainfo/$app_id.metainfo.xml
for file in /usr/games/pellovar "$entry" "$metainfo" \
    /usr/share/icons/hicolor/{48x48,128x128,256x256}/apps/$app_id.png \
    /usr/share/man/man6/pellovar.6.gz /usr/share/doc/pellovar/{copyright,changelog.gz}; do
  [ -e "$file" ] || { echo "package_check: $file is missing" >&2; exit 1; }
  echo "  $file"
done
[ "$(man -w 6 pellovar)" = /usr/share/man/man6/pellovar.6.gz ] || { echo "package_check: man 6 pellovar finds no page" >&2; exit 1; }
grep -q '^License: Expat$' /usr/share/doc/pellovar/copyright || { echo "package_check: the copyright file names no Expat licence" >&2; exit 1; }
desktop-file-validate "$entry"
appstreamcli validate --no-net "$metainfo"

echo "== starting the installed game by its menu entry's command"
command=$(sed -n 's/^Exec=//p' "$entry")
[ "$(command -v "$command")" = /usr/games/pellovar ] || { echo "package_check: Exec=$command does not start /usr/games/pellovar" >&2; exit 1; }
python3 "$here/installed_run.py" "$command" "$build/e2e-artifacts" "$(sed -n 's/^StartupWMClass=//p' "$entry")"

echo "== removing the package"
apt-get remove -y -qq pellovar >/dev/null
trap - EXIT
[ ! -e /usr/games/pellovar ] || { echo "package_check: /usr/games/pellovar is still there after removal" >&2; exit 1; }
echo "ok: the package installs, starts its game from the menu entry's command, and removes cleanly"
