#!/usr/bin/env bash
# Builds the Debian package build-deb/quorvane_<version>_amd64.deb: the two programs
# with Debian's hardening flags and stripped, the menu entry, icons, metainfo and
# manual pages, the dependencies found by dpkg-shlibdeps. Prints the package's path.
set -euo pipefail
cd "$(dirname "$0")/.."

dir=build-deb
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVANE_TESTS=OFF -DQUORVANE_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >/dev/null
cmake --build "$dir" -j "$(nproc)" >/dev/null
rm -f "$dir"/quorvane_*.deb
(cd "$dir" && cpack -G DEB >cpack.log 2>&1) || { cat "$dir/cpack.log" >&2; exit 1; }
ls "$PWD/$dir"/quorvane_*_amd64.deb
