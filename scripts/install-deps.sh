#!/usr/bin/env bash
# Installs the Debian packages the project needs, but only those that are missing.
# Nothing is fetched from outside Debian.
#   scripts/install-deps.sh                  build, test, benchmark and run the demo on Linux
#   scripts/install-deps.sh linux windows    also cross-build for Windows and test under Wine
set -euo pipefail

groups=("$@")
[ ${#groups[@]} -gt 0 ] || groups=(linux)

linux_packages=(
  # build
  g++ cmake ninja-build pkg-config clang libclang-rt-14-dev
  # libraries
  qt6-base-dev libcurl4-openssl-dev libicu-dev libjpeg62-turbo-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev libcpp-httplib-dev
  curl aria2 tinyproxy time bc
  # the window under a virtual display, its Chinese captions, and screenshots
  xvfb xauth fonts-noto-cjk imagemagick
  # the Debian package and its checks
  dpkg-dev file desktop-file-utils appstream lintian
)

# MinGW-w64 with POSIX threads, GoogleTest's sources to build for the target, Wine to run
# the tests (64-bit only), the zh_CN locale that gives Wine GBK as its code page, and
# xdotool for driving windows.
windows_packages=(
  g++-mingw-w64-x86-64-posix googletest wine wine64 locales xdotool dpkg-dev
)

packages=()
for group in "${groups[@]}"; do
  case "$group" in
    linux) packages+=("${linux_packages[@]}") ;;
    windows) packages+=("${windows_packages[@]}") ;;
    *) echo "unknown group: $group" >&2; exit 2 ;;
  esac
done

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

make_locale() {
  if [[ " ${groups[*]} " == *" windows "* ]] && ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf-\?8'; then
    echo "Making the zh_CN.UTF-8 locale"
    "${sudo_cmd[@]}" localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
  fi
}

# cpp-httplib's whole library, for the stand-ins built for Windows: Debian's binary
# package holds only its declarations, its source package the header-only library.
httplib_source=/usr/local/src/cpp-httplib
fetch_httplib() {
  if [[ " ${groups[*]} " != *" windows "* ]] || [ -f "$httplib_source/httplib.h" ]; then
    return
  fi
  if ! apt-get source --print-uris cpp-httplib >/dev/null 2>&1; then
    echo "Adding deb-src entries beside the deb ones"
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
      sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
        "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/quorvane-deb-src.sources >/dev/null
    else
      sed -n 's/^deb /deb-src /p' /etc/apt/sources.list |
        "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/quorvane-deb-src.list >/dev/null
    fi
    "${sudo_cmd[@]}" apt-get update -qq
  fi
  local work
  work=$(mktemp -d)
  (cd "$work" && apt-get source -qq cpp-httplib >/dev/null 2>&1)
  "${sudo_cmd[@]}" mkdir -p "$(dirname "$httplib_source")"
  "${sudo_cmd[@]}" rm -rf "$httplib_source"
  "${sudo_cmd[@]}" cp -r "$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'cpp-httplib-*')" "$httplib_source"
  rm -rf "$work"
}

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  make_locale
  fetch_httplib
  exit 0
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
make_locale
fetch_httplib
