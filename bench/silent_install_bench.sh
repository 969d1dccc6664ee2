#!/usr/bin/env bash
# Benchmark, not a test: times the silent install of a package of 2,000
# files / 200 MB under Wine (the package's installer.exe with --silent, front
# end and backend, from start to exit) against the plain copy of the same
# files by raw_copy.exe (one CopyFileW each, also under Wine), both on a RAM
# drive (bench_lib.sh says why). Rounds alternate between the two sides, so
# that a change in the load of the machine weighs on both alike. Target: the
# install takes at most 1.3 times the plain copy. Each round also times the
# install's processes with nothing in them (process_chain.exe): the copy
# plus that floor is the least ratio any install could reach here.
#
#   bench/silent_install_bench.sh [BUILD_DIR]
#   ROUNDS=7 FILES=2000 SIZE=104857 bench/silent_install_bench.sh
#
# BUILD_DIR defaults to the folder the README commands share (out/test).
# The installer calls no update server (no statistics upload, no fetch of
# pref default overrides). Every installation is removed again by its own
# uninstaller.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
. "$top/bench/bench_lib.sh"
hold_bench_build_folder "$@"
files="${FILES:-2000}"
size="${SIZE:-$((200 * 1024 * 1024 / files))}"
rounds="${ROUNDS:-5}"

bench_setup
make_bench_package "$files" "$size"

# Not timed: the first install after the server starts also starts the
# prefix's services, and the first copy fills the caches.
time_package_copy
time_install
time_process_chain

raw=""
install=""
chain=""
for _ in $(seq "$rounds"); do
  time_process_chain
  chain="$chain $elapsed"
  time_package_copy
  raw="$raw $elapsed"
  if ! time_install; then
    echo "the silent install failed" >&2
    exit 1
  fi
  install="$install $elapsed"
done
installed=$(count_installed)

printf 'package: %d files, %d MB; %d data files installed\n' \
  "$bench_files" $((files * size / 1024 / 1024)) "$installed"
echo "raw copy rounds (s):      $raw"
echo "silent install rounds (s):$install"
printf 'raw copy (CopyFileW loop): best %6.3f s, median %6.3f s\n' \
  "$(best $raw)" "$(median $raw)"
printf 'silent install:            best %6.3f s, median %6.3f s\n' \
  "$(best $install)" "$(median $install)"
printf 'ratio install / raw copy:  best %.2f, median %.2f (target <= 1.30)\n' \
  "$(ratio "$(best $install)" "$(best $raw)")" \
  "$(ratio "$(median $install)" "$(median $raw)")"
printf 'processes alone:           best %6.3f s, median %6.3f s\n' \
  "$(best $chain)" "$(median $chain)"
printf 'least ratio they allow:    best %.2f, median %.2f ((copy + processes) / copy)\n' \
  "$(python3 -c "print(($(best $raw) + $(best $chain)) / $(best $raw))")" \
  "$(python3 -c "print(($(median $raw) + $(median $chain)) / $(median $raw))")"
