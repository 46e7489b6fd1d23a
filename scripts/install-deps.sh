#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test, benchmark and run
# the demo, but only those that are missing. Nothing is fetched from outside Debian.
set -euo pipefail

packages=(
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

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
