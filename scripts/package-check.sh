#!/usr/bin/env bash
# Builds the Debian package from a Release build, checks what it ships, installs it with apt,
# starts the installed program under Xvfb and removes the package again:
#   scripts/package-check.sh [build folder, default build/package]
# The package is left in <build>/package/. Needs root or sudo (apt).
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/package}"
scripts/setup.sh

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
step() { echo "== package check: $*"; }
fail() { echo "package check FAILED: $*" >&2; exit 1; }
started=$(date +%s)

step "Release build ($build)"
LAUNCHER=()
if command -v ccache >/dev/null; then LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVANE_TESTS=OFF \
  -DCORVANE_BENCH=OFF "${LAUNCHER[@]}" >/dev/null
cmake --build "$build"
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
[ -n "$version" ] || fail "project version not found in $build/CMakeCache.txt"

step "cpack -G DEB"
rm -f "$build"/package/*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb="$(ls "$build"/package/*.deb)"
package="$(dpkg-deb -f "$deb" Package)"
dpkg-deb -f "$deb" Version | grep -q "^$version" || fail "package version is not $version"
dpkg-deb -f "$deb" Depends | grep -q "libqt6widgets6" || fail "no library dependencies computed"

tmp="$(mktemp -d)"
xvfb=""
app=""
installed_before=0
dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" &&
  installed_before=1
installed=0
cleanup() {
  set +e
  [ -n "$app" ] && kill "$app" 2>/dev/null && wait "$app" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  if [ "$installed" = 1 ] && [ "$installed_before" = 0 ]; then
    $SUDO apt-get remove -y -q -o DPkg::Lock::Timeout=300 "$package" >/dev/null || echo "could not remove $package" >&2
  fi
  rm -rf "$tmp"
}
trap cleanup EXIT

step "contents"
dpkg-deb -x "$deb" "$tmp/root"
share="$tmp/root/usr/share"
# The desktop entry's name is the application id; everything else must carry the same.
desktop="$(ls "$share"/applications/*.desktop)"
app_id="$(basename "$desktop" .desktop)"
for f in usr/bin/corvane usr/bin/corvane-sim \
  "usr/share/applications/$app_id.desktop" "usr/share/metainfo/$app_id.metainfo.xml" \
  "usr/share/icons/hicolor/scalable/apps/$app_id.svg" \
  usr/share/man/man1/corvane.1.gz usr/share/man/man1/corvane-sim.1.gz \
  usr/share/man/de/man1/corvane.1.gz usr/share/man/de/man1/corvane-sim.1.gz; do
  [ -f "$tmp/root/$f" ] || fail "$f missing"
done
for size in 48 128 256; do
  png="$share/icons/hicolor/${size}x${size}/apps/$app_id.png"
  [ -f "$png" ] || fail "${size}x${size} icon missing"
  file -b "$png" | grep -q "PNG image data, $size x $size" || fail "$png is not $size px"
done
grep -qx "Icon=$app_id" "$share/applications/$app_id.desktop" || fail "desktop entry names another icon"
desktop-file-validate "$share/applications/$app_id.desktop"
appstreamcli validate --no-net "$share/metainfo/$app_id.metainfo.xml"
for page in "$share"/man/man1/*.gz "$share"/man/de/man1/*.gz; do
  warnings="$(zcat "$page" | groff -man -ww -z -K utf8 2>&1)"
  [ -z "$warnings" ] || fail "$page: $warnings"
done

step "apt-get install $(basename "$deb")"
export DEBIAN_FRONTEND=noninteractive
# Another build on the machine may hold the package lock for a while.
$SUDO apt-get install -y -q -o DPkg::Lock::Timeout=300 "$(realpath "$deb")" >"$tmp/apt.log" 2>&1 ||
  { cat "$tmp/apt.log" >&2; fail "apt-get install"; }
installed=1
program="$(command -v corvane || true)"
[ "$program" = /usr/bin/corvane ] || fail "installed corvane not found on PATH (found '$program')"

step "menu entry"
# What a GIO-based menu (GNOME's) reads: the entry by its id, shown, with the themed icon.
/usr/bin/python3 - "$app_id" <<'PY' || fail "the menu does not list $app_id with its icon"
import sys
import gi
gi.require_version("Gio", "2.0")
from gi.repository import Gio
app_id = sys.argv[1]
entry = Gio.DesktopAppInfo.new(app_id + ".desktop")
assert entry is not None, "no entry"
assert entry.should_show(), "entry hidden"
assert entry.get_name() == "Corvane", entry.get_name()
assert app_id in entry.get_icon().get_names(), entry.get_icon().to_string()
assert any(a.get_id() == app_id + ".desktop" for a in Gio.AppInfo.get_all()), "not listed"
print("menu lists %s (%s) with icon %s" % (entry.get_name(), entry.get_filename(), app_id))
PY

step "corvane --version"
out="$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM LC_ALL=C.UTF-8 corvane --version)"
echo "$out"
[[ "$out" == "Corvane $version"* ]] || fail "--version prints '$out'"

step "start under Xvfb"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$tmp/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 1 100); do [ -s "$tmp/display" ] && break; sleep 0.1; done
[ -s "$tmp/display" ] || fail "Xvfb did not start"
display=":$(head -n1 "$tmp/display")"
mkdir -p "$tmp/data"
(cd "$tmp" && exec env -u WAYLAND_DISPLAY DISPLAY="$display" QT_QPA_PLATFORM=xcb \
  XDG_DATA_HOME="$tmp/data" corvane >"$tmp/corvane.log" 2>&1) &
app=$!
window=""
for _ in $(seq 1 300); do
  window="$(DISPLAY="$display" xdotool search --onlyvisible --pid "$app" 2>/dev/null | head -n1)" &&
    [ -n "$window" ] && break
  kill -0 "$app" 2>/dev/null || break
  sleep 0.1
done
[ -n "$window" ] || { cat "$tmp/corvane.log" >&2; fail "no window shown within 30 s"; }
ini="$tmp/data/HALVEX/Corvane/Corvane.ini"
for _ in $(seq 1 50); do [ -s "$ini" ] && break; sleep 0.1; done
[ -s "$ini" ] || fail "settings file $ini not written"
# On X11 the task bar pairs a window with its menu entry by the window's class.
wm_class="$(sed -n 's/^StartupWMClass=//p' "$desktop")"
DISPLAY="$display" xprop -id "$window" -notype WM_CLASS _NET_WM_ICON >"$tmp/props"
grep -q "^WM_CLASS = .*\"$wm_class\"\$" "$tmp/props" ||
  fail "window class is not $wm_class: $(grep WM_CLASS "$tmp/props")"
grep -q "^_NET_WM_ICON = " "$tmp/props" || fail "window has no icon"
echo "window $window shown (class $wm_class, icon set), $(basename "$ini") written"
kill "$app"
wait "$app" 2>/dev/null || true
app=""

if [ "$installed_before" = 1 ]; then
  echo "$package was installed before the check: left installed"
else
  step "apt-get remove $package"
  $SUDO apt-get remove -y -q -o DPkg::Lock::Timeout=300 "$package" >/dev/null
  installed=0
  [ ! -e /usr/bin/corvane ] || fail "/usr/bin/corvane still there after removal"
fi
echo "package check passed in $(($(date +%s) - started)) s: $deb"
