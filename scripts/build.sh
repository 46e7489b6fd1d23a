#!/usr/bin/env bash
# Configures and builds one flavour of the tree into build/ (or build-<flavour>/).
#   scripts/build.sh            release build with tests and benchmarks
#   scripts/build.sh asan       AddressSanitizer + UndefinedBehaviorSanitizer, tests only
#   scripts/build.sh tsan       ThreadSanitizer, tests only
#   scripts/build.sh fuzz       clang with libFuzzer, fuzz targets only
#   scripts/build.sh windows    64-bit Windows with MinGW-w64, tests run under Wine
#                               (scripts/install-deps.sh windows brings the toolchain)
# Targets named after the flavour are built alone: scripts/build.sh release quorvane-demo
set -euo pipefail
cd "$(dirname "$0")/.."

flavour=${1:-release}
shift || true
common=(-G Ninja -DCMAKE_EXPORT_COMPILE_COMMANDS=ON)
case "$flavour" in
  release)
    dir=build
    args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  asan)
    dir=build-asan
    args=(-DCMAKE_BUILD_TYPE=Debug -DQUORVANE_SANITIZE=address,undefined -DQUORVANE_BENCH=OFF) ;;
  tsan)
    dir=build-tsan
    args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVANE_SANITIZE=thread -DQUORVANE_BENCH=OFF) ;;
  fuzz)
    dir=build-fuzz
    export CC=clang CXX=clang++
    args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVANE_FUZZ=ON -DQUORVANE_TESTS=OFF -DQUORVANE_BENCH=OFF -DQUORVANE_APP=OFF
          -DQUORVANE_SANITIZE=address,undefined) ;;
  windows)
    dir=build-windows
    args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
          -DQUORVANE_APP=OFF -DQUORVANE_BENCH=OFF) ;;
  *)
    echo "unknown flavour: $flavour" >&2
    exit 2 ;;
esac

cmake -S . -B "$dir" "${common[@]}" "${args[@]}" >/dev/null
targets=()
for target in "$@"; do
  targets+=(--target "$target")
done
cmake --build "$dir" -j "$(nproc)" "${targets[@]}"

if [ "$flavour" = windows ]; then
  # The Wine prefix the tests run in, made once (it takes a while the first time).
  scripts/wine-env.sh "$dir" true
fi
