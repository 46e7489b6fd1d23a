#!/usr/bin/env bash
# Start-up to the window shown, and peak memory: quorvane --exit-when-shown beside the
# smallest Qt Widgets program that shows a window, each started 20 times.
# Usage: bench/startup.sh [build dir]   (run from the project root; needs Xvfb or a display)
set -euo pipefail
build=${1:-build}
runs=20

measure() {
  local name=$1
  shift
  local start end total=0 peak=0 rss peakfile
  peakfile=$(mktemp)
  for _ in $(seq "$runs"); do
    start=$(date +%s%N)
    /usr/bin/time -o "$peakfile" -f '%M' "$@" >/dev/null 2>&1
    rss=$(tail -n 1 "$peakfile")
    end=$(date +%s%N)
    total=$(( total + end - start ))
    (( rss > peak )) && peak=$rss
  done
  rm -f "$peakfile"
  printf '%-22s %8.1f ms per start   %8d KiB peak resident\n' "$name" "$(echo "$total / $runs / 1000000" | bc -l)" "$peak"
}

run() {
  measure "minimal Qt window" "$build/bench/minimal_qt_window"
  measure "quorvane" "$build/src/app/quorvane" --exit-when-shown
}

if [ -n "${DISPLAY:-}" ]; then
  run
else
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$build"
fi
