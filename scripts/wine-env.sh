#!/usr/bin/env bash
# Runs a command with Wine set up for a Windows build folder:
#   scripts/wine-env.sh [--server] BUILD_DIR COMMAND...
# Wine gets its own prefix inside the build folder (made on first use), prints no
# debug output, offers no Mono or Gecko, and runs with GBK (936) as the ANSI code
# page, which it takes from the zh_CN locale. With --server one persistent
# wineserver serves the whole command, so each test does not pay Wine's start-up.
set -euo pipefail

server=0
if [ "${1:-}" = --server ]; then
  server=1
  shift
fi
[ $# -ge 2 ] || { echo "usage: $0 [--server] BUILD_DIR COMMAND..." >&2; exit 2; }
build=$(cd "$1" && pwd)
shift

if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf-\?8'; then
  echo "wine-env: the zh_CN.UTF-8 locale is missing (scripts/install-deps.sh windows makes it)" >&2
  exit 1
fi
export WINEPREFIX="$build/wine-prefix"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL=zh_CN.UTF-8
unset DISPLAY WAYLAND_DISPLAY

# Several tests may start at once on a fresh folder: one of them makes the prefix.
if [ ! -f "$WINEPREFIX/.quorvane-ready" ]; then
  exec 9>"$build/wine-prefix.lock"
  flock 9
  if [ ! -f "$WINEPREFIX/.quorvane-ready" ]; then
    wineboot --init >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.quorvane-ready"
  fi
  exec 9>&-
fi

if [ "$server" = 1 ]; then
  wineserver -p
  trap 'wineserver -k 2>/dev/null || true' EXIT
  # Wine's own services start with the first program and live as long as the server;
  # started here, they hold no test's output open.
  wine cmd /c exit </dev/null >/dev/null 2>&1
  "$@"
else
  exec "$@"
fi
