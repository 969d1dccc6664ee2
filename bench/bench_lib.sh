# Sourced by the benchmarks: helpers over the times of their rounds.

# The least of the numbers given.
best() {
  python3 -c "import sys; print(min(float(x) for x in sys.argv[1:]))" "$@"
}

# The median of the numbers given.
median() {
  python3 -c "import statistics, sys
print(statistics.median(float(x) for x in sys.argv[1:]))" "$@"
}

# $1 / $2.
ratio() {
  python3 -c "import sys; print(float(sys.argv[1]) / float(sys.argv[2]))" "$1" "$2"
}

# The seconds since $1, a time of date +%s.%N.
seconds_taken() {
  python3 -c "print($(date +%s.%N) - $1)"
}

# time_raw_copy FROM TO UNIX_TO: the seconds raw_copy.exe (one CopyFileW
# per file, under Wine) takes to copy the folder FROM to TO, both Windows
# paths; UNIX_TO is TO's Linux path, emptied first. $out and $WINE set.
time_raw_copy() {
  rm -rf "$3"
  sync
  local start
  start=$(date +%s.%N)
  "$WINE" "$out/bin/raw_copy.exe" "$1" "$2" >/dev/null
  seconds_taken "$start"
}

# hold_bench_build_folder "$@": the build folder the bench's first argument
# names, else the one the README commands share (out/test), held for this
# bench alone; sets $out (tools/build_folder.sh).
hold_bench_build_folder() {
  if [ $# -gt 0 ]; then
    export KELVO_BUILD_DIR=$1
  fi
  . "$top/tools/build_folder.sh"
  hold_build_folder "$0" "$@"
}
