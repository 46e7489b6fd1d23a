#!/usr/bin/env bash
# CMake's cross-compiling emulator: runs one Windows program of a build folder under
# Wine, with the Wine set-up of scripts/wine-env.sh for the build folder that holds it.
set -euo pipefail
program=$1
shift
dir=$(cd "$(dirname "$program")" && pwd)
while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do
  dir=$(dirname "$dir")
done
if [ ! -f "$dir/CMakeCache.txt" ]; then
  echo "wine-run: $program is not inside a build folder" >&2
  exit 2
fi
exec "$(dirname "$0")/wine-env.sh" "$dir" wine "$program" "$@"
