# Sourced by the install benchmarks: a prefix with a RAM drive, a package
# on it, and the two timed sides (the plain copy loop and the silent
# install), plus the statistics printed at the end.
#
# Both sides read the package from the RAM drive and write to it: on a
# disk-backed target the page cache's writeback makes the same copy take
# from under 1 s to over 3 s from one round to the next, which hides any
# difference the install makes.
#
# INSTALL_ARGS adds switches to the timed installs (for example --v=2).
#
# Use: bench_setup BUILD_DIR; make_bench_package FILES SIZE; then
# time_raw_copy / time_install / remove_installation; bench_cleanup runs
# on exit.

bench_top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bench_drive=t:
bench_dir='T:\kelvo_bench'

bench_setup() {
  "$bench_top/tools/build.sh" "$1" installer_host stand_in raw_copy \
    install_log_bench >/dev/null
  bench_out=$(cd "$1" && pwd)
  export WINEPREFIX="$bench_out/wineprefix"
  "$bench_top/tools/wine_prefix.sh" start "$WINEPREFIX"
  . "$bench_top/tools/wine_env.sh"
  bench_ram=$(mktemp -d /dev/shm/kelvo-bench.XXXXXX)
  trap bench_cleanup EXIT
  ln -sfn "$bench_ram" "$WINEPREFIX/dosdevices/$bench_drive"
  bench_unix_dir="$bench_ram/kelvo_bench"
  mkdir -p "$bench_unix_dir"
  bench_install_round=0
  bench_log_dir="$WINEPREFIX/drive_c/users/$(whoami)/Temp/Kelvo Installer"
}

bench_cleanup() {
  remove_installation >/dev/null 2>&1 || true
  rm -f "$WINEPREFIX/dosdevices/$bench_drive"
  rm -rf "$bench_ram"
  "$bench_top/tools/wine_prefix.sh" stop "$WINEPREFIX"
}

# make_bench_package FILES SIZE [FOLDERS]: the package in
# T:\kelvo_bench\package, its data files spread over FOLDERS folders (16).
make_bench_package() {
  rm -rf "$bench_unix_dir/package"
  python3 "$bench_top/tools/make_sample_package.py" "$bench_out/bin" \
    "$bench_unix_dir/package" --files "$1" --size "$2" \
    --folders "${3:-16}" >/dev/null
  bench_files=$(($(wc -l <"$bench_unix_dir/package/files_list") + \
                 $(wc -l <"$bench_unix_dir/package/root_files_list")))
}

seconds_since() {
  python3 -c "print('%.3f' % ($(date +%s.%N) - $1))"
}

# One plain copy of the package's files_list; its seconds in $elapsed, the
# seconds of its copy loop alone in $loop.
time_raw_copy() {
  rm -rf "$bench_unix_dir/raw"
  local start output
  start=$(date +%s.%N)
  output=$("$WINE" "$bench_out/bin/raw_copy.exe" "$bench_dir\\package" \
    "$bench_dir\\raw") || return 1
  elapsed=$(seconds_since "$start")
  loop=$(echo "$output" | sed -n 's/.* copied in \([0-9.]*\) s.*/\1/p')
  rm -rf "$bench_unix_dir/raw"
}

# Removes the installation of the last round through its own uninstaller;
# with BENCH_FAST_REMOVAL=1 only its files go (each round installs into a
# folder of its own, and the next install writes the registry afresh).
remove_installation() {
  if [ "${BENCH_FAST_REMOVAL:-0}" = 1 ]; then
    rm -rf "$bench_unix_dir"/install*
    return
  fi
  local old
  for old in "$bench_unix_dir"/install*/*/installer.exe; do
    [ -f "$old" ] || continue
    local folder version
    folder=$(basename "$(dirname "$(dirname "$old")")")
    version=$(basename "$(dirname "$old")")
    "$WINE" "$bench_dir\\$folder\\$version\\installer.exe" --silent \
      --uninstall || echo "(uninstall failed: exit code $?)"
  done
  # k.bat deletes what the uninstalling processes held once they ended.
  local _
  for _ in $(seq 120); do
    compgen -G "$bench_unix_dir/install*/k.bat" >/dev/null || break
    sleep 0.5
  done
  rm -rf "$bench_unix_dir"/install*
}

# One silent install of the package into a new folder, front end start to
# exit; its seconds in $elapsed, the seconds of its copy steps (from the
# first file to the last, as its log tells) in $loop. The last installation
# is removed first.
time_install() {
  remove_installation
  rm -f "$bench_log_dir"/*.log
  bench_install_round=$((bench_install_round + 1))
  bench_install_folder="$bench_dir\\install$bench_install_round"
  local start
  start=$(date +%s.%N)
  "$WINE" "$bench_unix_dir/package/installer.exe" --silent \
    "--installfolder=$bench_install_folder" --launchkelvo=0 \
    --desktopshortcut=0 --startmenushortcut=0 --quicklaunchshortcut=0 \
    --pintotaskbar=0 ${INSTALL_ARGS:-} || return 1
  elapsed=$(seconds_since "$start")
  loop=$(cat "$bench_log_dir"/*.log | python3 -c "$copy_phase_script")
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

# best / median of the numbers given.
best_of() {
  python3 -c "import sys; print('%.3f' % min(map(float, sys.argv[1:])))" "$@"
}
median_of() {
  python3 -c "import sys, statistics
print('%.3f' % statistics.median(map(float, sys.argv[1:])))" "$@"
}
divide() {
  python3 -c "import sys; print('%.2f' % (float(sys.argv[1]) / float(sys.argv[2])))" "$1" "$2"
}
