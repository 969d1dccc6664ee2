#!/usr/bin/env bash
# Benchmark, not a test: what one start of the installer costs under Wine.
# Times "installer.exe --version" (the host loading installer.dll, the
# library answering and the process ending) against trivial_console.exe, a
# console program that prints a version and loads nothing but the C
# runtime, both in the build folder's prefix. Rounds alternate between the
# two, so that a change in the load of the machine weighs on both alike.
# Target: the installer takes at most 2 times the trivial program.
#
#   bench/startup_bench.sh [BUILD_DIR]
#   ROUNDS=40 bench/startup_bench.sh
#
# BUILD_DIR defaults to the folder the README commands share (out/test).
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
. "$top/bench/bench_lib.sh"
hold_bench_build_folder "$@"
rounds="${ROUNDS:-30}"

"$top/tools/build.sh" "$out" installer_host trivial_console >/dev/null
export WINEPREFIX="$out/wineprefix"
"$top/tools/wine_prefix.sh" start "$WINEPREFIX"
trap '"$top/tools/wine_prefix.sh" stop "$WINEPREFIX"' EXIT
. "$top/tools/wine_env.sh"

# time_start PROGRAM ARGS...: the seconds of one start of PROGRAM to its
# exit; fails unless it printed a version.
time_start() {
  local start output
  start=$(date +%s.%N)
  output=$("$WINE" "$@")
  elapsed=$(seconds_taken "$start")
  [[ "$output" =~ ^[0-9]+(\.[0-9]+){3}$ ]] || {
    echo "$1 printed '$output' instead of a version" >&2
    return 1
  }
}

# Not timed: the first starts load the prefix's libraries into the cache.
time_start "$out/bin/trivial_console.exe"
time_start "$out/bin/installer.exe" --version

trivial=""
installer=""
for _ in $(seq "$rounds"); do
  time_start "$out/bin/trivial_console.exe"
  trivial="$trivial $elapsed"
  time_start "$out/bin/installer.exe" --version
  installer="$installer $elapsed"
done

rounded() {
  python3 -c "import sys; print(' '.join('%.3f' % float(x) for x in sys.argv[1:]))" "$@"
}
echo "trivial_console.exe rounds (s): $(rounded $trivial)"
echo "installer.exe --version rounds (s): $(rounded $installer)"
printf 'trivial console program:  best %6.3f s, median %6.3f s\n' \
  "$(best $trivial)" "$(median $trivial)"
printf 'installer.exe --version:  best %6.3f s, median %6.3f s\n' \
  "$(best $installer)" "$(median $installer)"
printf 'ratio installer / trivial: best %.2f, median %.2f (target <= 2.00)\n' \
  "$(ratio "$(best $installer)" "$(best $trivial)")" \
  "$(ratio "$(median $installer)" "$(median $trivial)")"
