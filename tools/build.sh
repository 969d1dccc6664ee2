#!/usr/bin/env bash
# build.sh BUILD_DIR [targets...]: configures (once) and builds.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
out=$1
shift
if [ ! -f "$out/build.ninja" ]; then
  cmake -S "$top" -B "$out" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-mingw64.cmake" \
    -DCMAKE_BUILD_TYPE=Release
fi
cmake --build "$out" -- "$@"
