#!/usr/bin/env bash
# Installs what is missing, builds, and starts quorvane-demo: the tool's window wired
# to stand-ins on 127.0.0.1, so the whole main path works without internet.
# With a display the window opens for clicking through. Without one, the demo runs
# under Xvfb, resolves the sample link through the real window, prints what the
# window then shows, and saves a picture of it as quorvane-demo.png.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh release quorvane quorvane-demo

demo=build/src/app/quorvane-demo
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$demo"
fi
echo "No display: resolving the sample link through the window under Xvfb."
xvfb-run -a -s "-screen 0 1024x768x24" "$demo" --resolve-and-exit --screenshot "$PWD/quorvane-demo.png"
