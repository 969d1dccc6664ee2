# Sourced by the benchmarks: helpers over the times of their rounds, and for
# the install benchmarks a RAM drive, a package on it and the two timed
# sides: the plain copy loop and the silent install.

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

# The install benchmarks. Both sides read the package from a RAM drive and
# write to it: on a disk-backed target the page cache's writeback made the
# same copy take from under 1 s to over 3 s from one round to the next,
# which hid any difference the install makes.
#
# Use, with $out the build folder (tools/build_folder.sh): bench_setup;
# make_bench_package FILES SIZE [FOLDERS]; then time_package_copy,
# time_install and remove_bench_installations. INSTALL_ARGS adds switches to the timed
# installs (--v=2 adds the engine's line for every copied file).

bench_top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bench_drive=t:
bench_dir='T:\kelvo_bench'

bench_setup() {
  "$bench_top/tools/build.sh" "$out" installer_host stand_in raw_copy \
    install_log_bench process_chain >/dev/null
  export WINEPREFIX="$out/wineprefix"
  "$bench_top/tools/wine_prefix.sh" start "$WINEPREFIX"
  . "$bench_top/tools/wine_env.sh"
  . "$bench_top/tools/installer_story.sh"
  bench_ram=$(mktemp -d /dev/shm/kelvo-bench.XXXXXX)
  trap bench_cleanup EXIT
  ln -sfn "$bench_ram" "$WINEPREFIX/dosdevices/$bench_drive"
  bench_unix_dir="$bench_ram/kelvo_bench"
  mkdir -p "$bench_unix_dir"
  bench_install_round=0
}

bench_cleanup() {
  BENCH_FAST_REMOVAL=0 remove_bench_installations >/dev/null 2>&1 || true
  rm -f "$WINEPREFIX/dosdevices/$bench_drive"
  rm -rf "$bench_ram"
  "$bench_top/tools/wine_prefix.sh" stop "$WINEPREFIX"
}

# make_bench_package FILES SIZE [FOLDERS]: the package in
# T:\kelvo_bench\package, its data files spread over FOLDERS folders (16).
make_bench_package() {
  rm -rf "$bench_unix_dir/package"
  python3 "$bench_top/tools/make_sample_package.py" "$out/bin" \
    "$bench_unix_dir/package" --files "$1" --size "$2" \
    --folders "${3:-16}" >/dev/null
  bench_files=$(($(wc -l <"$bench_unix_dir/package/files_list") + \
                 $(wc -l <"$bench_unix_dir/package/root_files_list")))
}

# time_package_copy: one plain copy of the package's files_list; its
# seconds in $elapsed, the seconds of its copy loop alone in $loop.
time_package_copy() {
  rm -rf "$bench_unix_dir/raw"
  local start output
  start=$(date +%s.%N)
  output=$("$WINE" "$out/bin/raw_copy.exe" "$bench_dir\\package" \
    "$bench_dir\\raw") || return 1
  elapsed=$(seconds_taken "$start")
  loop=$(echo "$output" | sed -n 's/.* copied in \([0-9.]*\) s.*/\1/p')
  rm -rf "$bench_unix_dir/raw"
}

# Removes the installations of earlier rounds through their own
# uninstaller; with BENCH_FAST_REMOVAL=1 only their files go. Each round
# installs into a folder of its own and writes the same registry entries,
# so one uninstall at the end (bench_cleanup's) removes them all.
remove_bench_installations() {
  local folder
  for folder in "$bench_unix_dir"/install*; do
    [ -d "$folder" ] || continue
    if [ "${BENCH_FAST_REMOVAL:-0}" = 1 ]; then
      rm -rf "$folder"
      forget_uninstall_entries "$bench_dir\\$(basename "$folder")"
    else
      remove_installation "$bench_dir\\$(basename "$folder")" >/dev/null
    fi
  done
}

# forget_uninstall_entries FOLDER: deletes the uninstall entries (32-bit
# view, machine and user) that name the Windows folder FOLDER, whose files
# were removed without its uninstaller; else every later install in the
# prefix would take the next free entry name.
forget_uninstall_entries() {
  local root key location
  for root in HKLM HKCU; do
    "$WINE" reg query "$root\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall" \
      /reg:32 2>/dev/null | tr -d '\r' | grep -i '\\Uninstall\\Kelvo' |
      while IFS= read -r key; do
        location=$("$WINE" reg query "$key" /v InstallLocation /reg:32 \
          2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p')
        if [ "${location,,}" = "${1,,}" ]; then
          "$WINE" reg delete "$key" /f /reg:32 >/dev/null 2>&1 || true
        fi
      done
  done
}

# time_process_chain: the processes a silent install starts, empty
# (bench/process_chain_main.cc), from the first start to the last exit;
# its seconds in $elapsed.
time_process_chain() {
  local start
  start=$(date +%s.%N)
  if ! "$WINE" "$out/bin/process_chain.exe"; then
    echo "process_chain.exe could not start or end its processes in time" >&2
    return 1
  fi
  elapsed=$(seconds_taken "$start")
}

# One silent install of the package into a new folder, front end start to
# exit; its seconds in $elapsed, the seconds of its copy steps (from the
# first file to the last, as its log tells) in $loop, and its phases
# (bench/install_phases.py) in $phases. The installations of earlier rounds
# are removed first.
time_install() {
  remove_bench_installations
  rm -f "$KELVO_INSTALLER_LOG_DIR"/*.log
  bench_install_round=$((bench_install_round + 1))
  local start end
  start=$(date +%s.%N)
  "$WINE" "$bench_unix_dir/package/installer.exe" --silent \
    "--installfolder=$bench_dir\\install$bench_install_round" --launchkelvo=0 \
    --desktopshortcut=0 --startmenushortcut=0 --quicklaunchshortcut=0 \
    --pintotaskbar=0 "${update_server_off[@]}" ${INSTALL_ARGS:-} || return 1
  end=$(date +%s.%N)
  elapsed=$(python3 -c "print($end - $start)")
  loop=$(cat "$KELVO_INSTALLER_LOG_DIR"/*.log | python3 -c "$copy_phase_script")
  phases=$(python3 "$bench_top/bench/install_phases.py" "$start" "$end" \
    "$KELVO_INSTALLER_LOG_DIR"/*.log)
}

# The seconds from the line of the first file copied to "Done copying
# files", from log lines on standard input.
copy_phase_script='
import re, sys
def seconds(line):
    m = re.match(r"\[\d+:\d+:\d+/(\d\d)(\d\d)(\d\d)\.(\d+):", line)
    return int(m[1]) * 3600 + int(m[2]) * 60 + int(m[3]) + int(m[4]) / 1000
first = None
for line in sys.stdin:
    if first is None and "] Copying file " in line:
        first = seconds(line)
    if first is not None and "] Done copying files" in line:
        print("%.3f" % (seconds(line) - first))
        break
'

# The number of data files the last install put in place.
count_installed() {
  find "$bench_unix_dir/install$bench_install_round" -type f -name '*.pak' |
    wc -l
}
