#!/usr/bin/env bash
# Builds the .deb with CPack, installs it on this machine with dpkg, checks the installed
# programs and files, and removes the package again. Needs root (or sudo) and changes /usr,
# so it is not part of the normal suite.
#   scripts/check-deb.sh [BUILD_DIR]      default: build
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
id=io.github.glowdeck.Panel
sudo=''
[[ $(id -u) -ne 0 ]] && sudo='sudo'

# An installed glowdeck package is somebody's: leave it alone.
if dpkg-query -W -f='${Status}' glowdeck 2>/dev/null | grep -q 'install ok installed'; then
  echo "check-deb: a glowdeck package is installed already; remove it first (dpkg -r glowdeck)" >&2
  exit 1
fi

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[[ -n $version ]] || { echo "check-deb: $build is not a configured build folder" >&2; exit 1; }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -G DEB -B "$out") >"$out/cpack.log" 2>&1 ||
  { cat "$out/cpack.log" >&2; exit 1; }
deb=$(ls "$out"/glowdeck_*.deb)
echo "check-deb: built $(basename "$deb") ($(stat -c %s "$deb") bytes)"

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == glowdeck ]] || fail "Package is $(field Package)"
[[ $(field Version) == "$version" ]] || fail "Version is $(field Version), not $version"
[[ -n $(field Maintainer) ]] || fail "no Maintainer"
for lib in libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6; do
  [[ $(field Depends) == *"$lib"* ]] || fail "Depends lacks $lib: $(field Depends)"
done

trap '$sudo dpkg -r glowdeck >/dev/null 2>&1 || true; rm -rf "$out"' EXIT
$sudo dpkg -i "$deb" >"$out/dpkg.log" 2>&1 || { cat "$out/dpkg.log" >&2; exit 1; }
echo "check-deb: installed"
for f in /usr/bin/glowdeck /usr/bin/glowdeck-sim /usr/share/applications/$id.desktop \
         /usr/share/metainfo/$id.metainfo.xml /usr/share/icons/hicolor/scalable/apps/$id.svg \
         /usr/share/man/man1/glowdeck.1 /usr/share/man/man1/glowdeck-sim.1; do
  [[ -s $f ]] || fail "$f missing"
done
for size in 16 24 32 48 256; do
  [[ -s /usr/share/icons/hicolor/${size}x${size}/apps/$id.png ]] || fail "${size}px icon missing"
done
dpkg -L glowdeck | grep -q "^/usr/bin/glowdeck$" || fail "dpkg -L does not list /usr/bin/glowdeck"
got=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 20 /usr/bin/glowdeck --version 2>&1) ||
  true
[[ $got == "Glowdeck $version" ]] || fail "/usr/bin/glowdeck --version said: $got"
echo "check-deb: /usr/bin/glowdeck --version: $got"
env -u DISPLAY timeout 20 /usr/bin/glowdeck-sim --help | grep -q -- --link ||
  fail "glowdeck-sim --help"
if command -v man >/dev/null; then
  [[ $(man -w glowdeck 2>/dev/null) == /usr/share/man/man1/glowdeck.1* ]] || fail "man -w glowdeck"
fi

$sudo dpkg -r glowdeck >"$out/dpkg.log" 2>&1 || { cat "$out/dpkg.log" >&2; fail "dpkg -r"; }
[[ ! -e /usr/bin/glowdeck && ! -e /usr/share/applications/$id.desktop ]] ||
  fail "files left after dpkg -r"
echo "check-deb: removed"
echo "deb: $((failures == 0 ? 1 : 0)) passed, $((failures == 0 ? 0 : 1)) failed"
[[ $failures -eq 0 ]]
