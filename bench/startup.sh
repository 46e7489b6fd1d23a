#!/usr/bin/env bash
# Start-up to the window shown, and peak memory: quorvane --exit-when-shown beside the
# smallest Qt Widgets program that shows a window, and beside that window with one
# Chinese label (what drawing Chinese text costs by itself: the CJK font), on Qt's
# offscreen platform and under Xvfb. They are started in turn, 20 times each; the
# figures are the mean wall-clock time, the mean processor time (user + system, less
# disturbed by other load on the machine) and the highest peak resident memory, then
# quorvane's ratios to the minimal window.
# Usage: bench/startup.sh [build dir]   (run from the project root; needs Xvfb or a display)
set -euo pipefail
build=${1:-build}
runs=${QUORVANE_STARTUP_RUNS:-20}

# measure <name> <command...>: one start; adds to the totals of <name>.
declare -A wall cpu peak
measure() {
  local name=$1 start end out
  shift
  out=$(mktemp)
  start=$(date +%s%N)
  /usr/bin/time -o "$out" -f '%M %U %S' "$@" >/dev/null 2>&1
  end=$(date +%s%N)
  read -r rss user system < <(tail -n 1 "$out")
  rm -f "$out"
  wall[$name]=$(( ${wall[$name]:-0} + end - start ))
  cpu[$name]=$(echo "${cpu[$name]:-0} + ($user + $system) * 1000" | bc -l)
  (( rss > ${peak[$name]:-0} )) && peak[$name]=$rss
  return 0
}

run() {
  local platform=$1
  wall=() cpu=() peak=()
  for _ in $(seq "$runs"); do
    measure minimal "$build/bench/minimal_qt_window"
    measure label "$build/bench/minimal_qt_window" --chinese-label
    measure quorvane "$build/src/app/quorvane" --exit-when-shown
  done
  echo "-- $platform"
  local -A title=([minimal]="minimal Qt window" [label]="  + Chinese label" [quorvane]=quorvane)
  for name in minimal label quorvane; do
    printf '%-18s %8.1f ms per start %8.1f ms processor %8d KiB peak resident\n' "${title[$name]}" \
      "$(echo "${wall[$name]} / $runs / 1000000" | bc -l)" "$(echo "${cpu[$name]} / $runs" | bc -l)" "${peak[$name]}"
  done
  printf '%-18s %8.2fx          %8.2fx           %8.2fx\n' "quorvane / minimal" \
    "$(echo "${wall[quorvane]} / ${wall[minimal]}" | bc -l)" \
    "$(echo "${cpu[quorvane]} / ${cpu[minimal]}" | bc -l)" "$(echo "${peak[quorvane]} / ${peak[minimal]}" | bc -l)"
}

if [ "${1:-}" = --inside-display ]; then
  build=$2
  run "X server ($DISPLAY)"
  exit 0
fi
QT_QPA_PLATFORM=offscreen run "offscreen platform"
if [ -n "${DISPLAY:-}" ]; then
  run "X server ($DISPLAY)"
else
  xvfb-run -a -s "-screen 0 1024x768x24" "$0" --inside-display "$build"
fi
