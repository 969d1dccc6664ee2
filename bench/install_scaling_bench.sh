#!/usr/bin/env bash
# Benchmark, not a test: how the silent install scales with its package.
#
# 0. The fixed cost: a tiny package (20 data files, 26 files in all), whose
#    install is almost all process start-up and the steps around the copy.
#    Prints its best and median and the phases of its best round, from the
#    log time stamps (bench/install_phases.py). Target: at most 0.3 s.
#    Beside it, in alternating rounds, the same processes with nothing in
#    them (process_chain.exe): what Wine takes to start, run and end them
#    is a floor that no change inside the installer can go below.
# 1. Packages of 200, 2,000, 20,000 and 100,000 files of 4 KB and one of 20
#    files of 50 MB, each installed silently and copied by raw_copy.exe, in
#    alternating rounds on a RAM drive (bench_lib.sh). Per file it compares
#    the install's copy steps (from its log) with the plain copy loop, and
#    per package the whole install with the whole copy. Targets: the
#    install's copy steps within 1.1 times the plain copy loop per small
#    file, their time per file within 1.3 times from the smallest package
#    to the largest, and the whole install within 1.2 times the copy.
#    The data files lie in folders of 125, as in a browser package: under
#    Wine, creating a file looks its name up in every name of its folder,
#    so a plain copy slows down as its folders fill. The last row, 100,000
#    files in 16 folders, shows that for both sides.
# 2. The install log written and read at 20,000 to 1,600,000 files (about
#    1 to 80 MB): time per MB and peak memory against the file's size.
#
#   bench/install_scaling_bench.sh [BUILD_DIR]
#   TINY_ONLY=1 bench/install_scaling_bench.sh   # part 0 alone
#
# BUILD_DIR defaults to the folder the README commands share (out/test).
# Takes about a quarter of an hour; the packages need about 2 GB of memory.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
. "$top/bench/bench_lib.sh"
hold_bench_build_folder "$@"

bench_setup

# 0. The fixed cost.
make_bench_package 20 4096 2
time_install  # Not timed: fills the caches.
time_process_chain
tiny=""
tiny_best=""
chain=""
for _ in $(seq "${TINY_ROUNDS:-9}"); do
  time_process_chain
  chain="$chain $elapsed"
  if ! time_install; then
    echo "the silent install of the tiny package failed" >&2
    exit 1
  fi
  tiny="$tiny $elapsed"
  if [ -z "$tiny_best" ] || python3 -c "import sys; sys.exit(not $elapsed < $tiny_best)"; then
    tiny_best=$elapsed
    tiny_phases=$phases
  fi
done
tiny_row=$(printf '%s\n%s\n%s' \
  "$(printf 'tiny install (%d files): best %.3f s, median %.3f s (target <= 0.300)' \
    "$bench_files" "$(best $tiny)" "$(median $tiny)")" \
  "$(printf 'its processes alone (process_chain.exe): best %.3f s, median %.3f s' \
    "$(best $chain)" "$(median $chain)")" \
  "$(printf 'ratio install / processes alone: best %.2f, median %.2f; the install'"'"'s own work %.0f ms (best against best)' \
    "$(ratio "$(best $tiny)" "$(best $chain)")" \
    "$(ratio "$(median $tiny)" "$(median $chain)")" \
    "$(python3 -c "print(1000 * ($(best $tiny) - $(best $chain)))")")")
echo "$tiny_row"
echo "$tiny_phases"
if [ "${TINY_ONLY:-0}" = 1 ]; then
  exit 0
fi

# The runs: files, bytes per file, folders, rounds, and whether the run
# counts for the flatness of the time per small file.
runs=(
  "200 4096 2 5 yes"
  "2000 4096 16 3 yes"
  "20000 4096 160 2 yes"
  "100000 4096 800 1 yes"
  "20 52428800 1 2 no"
  "100000 4096 16 1 no"
)

per_file() {
  python3 -c "print('%.3f' % (1000 * $1 / $2))"
}

rows=()
flat_runs=()
for run in "${runs[@]}"; do
  read -r files size folders rounds counted <<<"$run"
  make_bench_package "$files" "$size" "$folders"
  # Large installations are not uninstalled between rounds: that would take
  # longer than the install (bench_lib.sh).
  if [ "$files" -gt 2000 ]; then
    export BENCH_FAST_REMOVAL=1
  else
    export BENCH_FAST_REMOVAL=0
    # Not timed: they fill the caches.
    time_package_copy
    time_install
  fi
  raw="" raw_loop="" install="" install_loop=""
  for _ in $(seq "$rounds"); do
    time_package_copy
    raw="$raw $elapsed" raw_loop="$raw_loop $loop"
    if ! time_install; then
      echo "the silent install of $files files failed" >&2
      exit 1
    fi
    install="$install $elapsed" install_loop="$install_loop $loop"
  done
  raw=$(best $raw) raw_loop=$(best $raw_loop)
  install=$(best $install) install_loop=$(best $install_loop)
  rows+=("$(printf '%7d x %8d B, %3d folders %8.3f %8.3f %6.2f %8s %8s %6.2f' \
    "$files" "$size" "$folders" "$raw" "$install" \
    "$(ratio "$install" "$raw")" "$(per_file "$raw_loop" "$files")" \
    "$(per_file "$install_loop" "$files")" \
    "$(ratio "$install_loop" "$raw_loop")")")
  echo "${rows[-1]}"
  if [ "$counted" = yes ]; then
    flat_runs+=("$(per_file "$install_loop" "$files")")
  fi
done
# The installation that bench_cleanup uninstalls is a small one.
make_bench_package 200 4096 2
time_install
rm -rf "$bench_unix_dir/package"

# Prints "row|write seconds per MB|read seconds per MB" for the outputs of
# a write and a read.
log_row_script='
import re, sys
def parse(text):
    m = re.match(r"([\d.]+) s, (\d+) bytes, (\d+) files, peak (\d+) bytes", text)
    return float(m[1]), int(m[2]), int(m[4])
ws, size, wm = parse(sys.argv[1])
rs, _, rm = parse(sys.argv[2])
mb = size / 1e6
print("%6.1f MB: write %6.3f s (%5.3f s/MB, memory %4.1f x), "
      "read %6.3f s (%5.3f s/MB, memory %4.1f x)|%.5f|%.5f"
      % (mb, ws, ws / mb, wm / size, rs, rs / mb, rm / size, ws / mb, rs / mb))
'
log_rows=()
write_per_mb=()
read_per_mb=()
for files in 20000 200000 1600000; do
  path="$bench_dir\\status_$files.xml"
  write=$("$WINE" "$out/bin/install_log_bench.exe" write "$files" "$path")
  read=$("$WINE" "$out/bin/install_log_bench.exe" read "$path")
  IFS='|' read -r row write_mb read_mb \
    < <(python3 -c "$log_row_script" "$write" "$read")
  log_rows+=("$row")
  write_per_mb+=("$write_mb")
  read_per_mb+=("$read_mb")
  echo "install log $row"
  rm -f "$bench_unix_dir/status_$files.xml"
done

echo
echo "$tiny_row"
echo "phases of its best round:"
echo "$tiny_phases"
echo "package                          raw s  install s  ratio  ms/file: raw  install  ratio"
printf '%s\n' "${rows[@]}"
echo "install log (memory: peak above the start, against the file's size):"
printf '  %s\n' "${log_rows[@]}"
printf 'install log time per MB, largest / smallest: write %.2f, read %.2f (linear: near 1)\n' \
  "$(ratio "${write_per_mb[-1]}" "${write_per_mb[0]}")" \
  "$(ratio "${read_per_mb[-1]}" "${read_per_mb[0]}")"
printf 'install time per small file, largest package / smallest: %.2f (target <= 1.30)\n' \
  "$(ratio "${flat_runs[-1]}" "${flat_runs[0]}")"
