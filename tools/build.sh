#!/usr/bin/env bash
# build.sh BUILD_DIR [targets...] [ninja options]: configures (once) and
# builds. KELVO_WARNINGS_AS_ERRORS=ON (set by CI) makes every compiler
# warning fail the build; KELVO_BUILD_JOBS limits ninja's parallel jobs.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
out=$1
shift
options=()
if [ -n "${KELVO_WARNINGS_AS_ERRORS:-}" ]; then
  options+=("-DKELVO_WARNINGS_AS_ERRORS=$KELVO_WARNINGS_AS_ERRORS")
fi
if [ ! -f "$out/build.ninja" ] || [ ${#options[@]} -gt 0 ]; then
  cmake -S "$top" -B "$out" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-mingw64.cmake" \
    -DCMAKE_BUILD_TYPE=Release "${options[@]}"
fi
jobs=()
if [ -n "${KELVO_BUILD_JOBS:-}" ]; then
  jobs=(-j "$KELVO_BUILD_JOBS")
fi
cmake --build "$out" -- "${jobs[@]}" "$@"
