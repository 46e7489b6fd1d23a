#!/usr/bin/env bash
# Checks a Debian package made by scripts/package-deb.sh: lintian finds no errors (its
# warnings and notes are shown), the menu entry and the metainfo pass their validators,
# the icons are there at their sizes, every dependency is met on this system, and the
# package, unpacked into a scratch root, starts from its menu entry under Xvfb, and its
# demo resolves and downloads through the window.
# Usage: scripts/check-package.sh build-deb/quorvane_<version>_amd64.deb
set -euo pipefail
deb=$(realpath "$1")
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
id=example.quorvane.Quorvane

echo "-- lintian"
findings=$(lintian --fail-on error --display-info "$deb" 2>&1) && clean=yes || clean=no
grep -v 'running with root privileges' <<<"$findings" || true
[ "$clean" = yes ] || { echo "lintian found errors" >&2; exit 1; }

echo "-- contents"
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/$id.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml"
for size in 16 24 32 48 64 128 256; do
  icon="$root/usr/share/icons/hicolor/${size}x${size}/apps/quorvane.png"
  file "$icon" | grep -q "PNG image data, $size x $size" || { echo "no ${size}x${size} icon" >&2; exit 1; }
done
for program in quorvane quorvane-demo; do
  if ldd "$root/usr/bin/$program" | grep -E 'not found|libcurl'; then
    echo "$program: a library missing, or libcurl linked (it is opened on the first request)" >&2
    exit 1
  fi
done

echo "-- dependencies: $(dpkg-deb -f "$deb" Depends)"
# Simulated: everything the package depends on is installed, so apt would add nothing else.
simulated=$(apt-get install --simulate --no-install-recommends "$deb" 2>&1) && grep -q '^Inst quorvane ' <<<"$simulated" ||
  { echo "$simulated" >&2; exit 1; }
others=$(grep '^Inst ' <<<"$simulated" | grep -v '^Inst quorvane ' || true)
if [ -n "$others" ]; then
  echo "dependencies not installed here:" >&2
  echo "$others" >&2
  exit 1
fi

echo "-- the menu entry starts the tool"
command=$(sed -n 's/^Exec=//p' "$root/usr/share/applications/$id.desktop")
[ "$(PATH="$root/usr/bin:$PATH" command -v "${command%% *}")" = "$root/usr/bin/quorvane" ]
PATH="$root/usr/bin:$PATH" timeout 60 xvfb-run -a -s "-screen 0 1024x768x24" sh -c "$command --exit-when-shown"
echo "started and shown: $root/usr/bin/quorvane"

echo "-- the installed demo resolves and downloads through the window (libcurl opened then)"
home=$(mktemp -d)
trap 'rm -rf "$root" "$home"' EXIT
shown=$(HOME=$home timeout 120 xvfb-run -a -s "-screen 0 1024x768x24" "$root/usr/bin/quorvane-demo" --resolve-and-exit 2>/dev/null)
echo "$shown"
grep -q '^size: *11.77 MB$' <<<"$shown" && grep -q '^download: *finished ' <<<"$shown" ||
  { echo "the installed demo did not resolve and download" >&2; exit 1; }
