#!/usr/bin/env bash
# Benchmark, not a test: a net install of a package of 2,000 files / 200 MB
# (data that does not compress, so the download is as large) under Wine,
# from the loopback test server playing the update server: the net
# installer with --silent, from its start to its exit (download address,
# package download, checks, unpacking, the backend's installation). Against
# the sum of its parts, measured in the same run: curl downloading the
# package executable from the same server, "7zz x -mmt1" unpacking its
# archive natively, and the plain copy of the package's files by
# raw_copy.exe under Wine (the copy loop of silent_install_bench.sh).
# Alternating rounds; the best and the median of each, the phases of the
# fastest net install as its logs tell them, and last the ratio of the
# bests, whose target is at most 1.3.
#
#   bench/net_install_bench.sh [BUILD_DIR] [ROUNDS]
#
# BUILD_DIR defaults to the folder the README commands share (out/test);
# ROUNDS to 5.
#
# Every side writes to a RAM drive (drive T: under Wine): on the disk the
# page cache's writeback made the same copy take from 1 s to over 3 s from
# one round to the next. The installer's download folder, %TEMP%\Kelvo
# Installer, is put there too, so that the net install still finds it as a
# user's run does (with the probe of the folder): the user's temporary
# folder links there, since the installer uses no link at its own folder.
#
# The installer calls no server but the loopback one (no statistics, no
# pref default overrides). Each installation is removed again by its own
# uninstaller.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
. "$top/bench/bench_lib.sh"
rounds=${2:-5}
hold_bench_build_folder "$@"
files=2000
size=$((200 * 1024 * 1024 / files))

"$top/tools/build.sh" "$out" installer_host installer_standalone stand_in \
  raw_copy >/dev/null

export WINEPREFIX="$out/wineprefix"
"$top/tools/wine_prefix.sh" start "$WINEPREFIX"
. "$top/tools/wine_env.sh"
. "$top/tools/installer_story.sh"

work="$out/bench/net_install"
net="$work/net"
server_state="$work/server"
ram=$(mktemp -d /dev/shm/kelvo-net-bench.XXXXXX)
drive="$WINEPREFIX/dosdevices/t:"
bench_dir='T:\kelvo_net_bench'
unix_bench_dir="$ram/kelvo_net_bench"
package="$unix_bench_dir/package"
# The temporary folder, with the download folder and the installer's logs,
# moved to the RAM drive; the folder on the disk waits beside it until the
# bench ends.
log_dir=$KELVO_INSTALLER_LOG_DIR
temp_dir=$(dirname "$log_dir")
kept_temp_dir="$temp_dir.kept-by-net-install-bench"

restore_temp_dir() {
  if [ -L "$temp_dir" ]; then
    rm -f "$temp_dir"
  fi
  if [ -d "$kept_temp_dir" ] && [ ! -e "$temp_dir" ]; then
    mv "$kept_temp_dir" "$temp_dir"
  fi
  mkdir -p "$log_dir"
}

cleanup() {
  python3 "$top/testing/servers/http_test_server.py" stop \
    --state-dir "$server_state"
  remove_installation "$bench_dir\\install" >/dev/null
  restore_temp_dir
  rm -f "$drive"
  rm -rf "$ram"
  "$top/tools/wine_prefix.sh" stop "$WINEPREFIX"
}
trap cleanup EXIT
# A bench that was killed may have left the folder moved.
restore_temp_dir
mv "$temp_dir" "$kept_temp_dir"
mkdir -p "$unix_bench_dir/temp"
ln -s "$unix_bench_dir/temp" "$temp_dir"
mkdir -p "$log_dir"
ln -sfn "$ram" "$drive"
mkdir -p "$work"

python3 "$top/tools/make_sample_package.py" "$out/bin" "$package" \
  --files "$files" --size "$size" --incompressible >/dev/null
python3 "$top/tools/net_install.py" pack "$out/bin" "$package" "$net"
python3 "$top/testing/servers/http_test_server.py" start \
  --state-dir "$server_state" >/dev/null
address=$(python3 "$top/tools/net_install.py" serve "$server_state" \
  "$net/kelvo_package.exe")
package_url="${address%%/netinstaller/*}/packages/kelvo_package.exe"
# Everything read comes from the page cache, for both sides.
find "$package" "$net" -type f -exec cat {} + >/dev/null

time_curl() {
  rm -f "$ram/curl.exe"
  curl --noproxy '*' -sf -o "$ram/curl.exe" -w '%{time_total}' "$package_url"
}

time_7zz() {
  rm -rf "$ram/unpacked"
  local start
  start=$(date +%s.%N)
  7zz x -mmt1 -y -o"$ram/unpacked" "$net/package.7z" >/dev/null
  seconds_taken "$start"
}

time_copy() {
  time_raw_copy "$bench_dir\\package" "$bench_dir\\raw" "$unix_bench_dir/raw"
}

# The seconds of one net install; its logs are left in $round_logs.
time_net_install() {
  remove_installation "$bench_dir\\install" >&2
  rm -f "$log_dir"/*.log
  local start
  start=$(date +%s.%N)
  "$WINE" "$net/kelvo_net_installer.exe" --silent \
    "--installfolder=$bench_dir\\install" --launchkelvo=0 \
    --desktopshortcut=0 --startmenushortcut=0 --quicklaunchshortcut=0 \
    --pintotaskbar=0 "${update_server_off[@]}" \
    "--internal-package-server=$address" >/dev/null || return 1
  local end
  end=$(date +%s.%N)
  python3 -c "print($end - $start)"
  round_logs="$work/round_logs"
  rm -rf "$round_logs"
  mkdir -p "$round_logs"
  cp "$log_dir"/*.log "$round_logs/"
  printf '%s %s\n' "$start" "$end" >"$round_logs/times"
}

curl_times=""
unpack_times=""
copy_times=""
install_times=""
best_install=""
for round in $(seq "$rounds"); do
  curl_times="$curl_times $(time_curl)"
  unpack_times="$unpack_times $(time_7zz)"
  copy_times="$copy_times $(time_copy)"
  if ! t=$(time_net_install); then
    echo "the net install failed" >&2
    exit 1
  fi
  install_times="$install_times $t"
  # The phases of the fastest round are the ones shown.
  if [ -z "$best_install" ] || python3 -c "import sys; sys.exit(not $t < $best_install)"; then
    best_install=$t
    rm -rf "$work/best_logs"
    mv "$work/round_logs" "$work/best_logs"
  fi
done
if ! cmp -s "$ram/curl.exe" "$net/kelvo_package.exe"; then
  echo "curl's download differs from the served package" >&2
  exit 1
fi
installed=$(find "$unix_bench_dir/install" -type f -name '*.pak' | wc -l)
echo "curl download rounds (s):$curl_times"
echo "7zz x -mmt1 rounds (s):$unpack_times"
echo "raw copy rounds (s):$copy_times"
echo "net install rounds (s):$install_times"
curl_best=$(best $curl_times)
unpack_best=$(best $unpack_times)
copy_best=$(best $copy_times)
install_best=$(best $install_times)
parts=$(python3 -c "print($curl_best + $unpack_best + $copy_best)")
parts_median=$(python3 -c "print($(median $curl_times) + \
  $(median $unpack_times) + $(median $copy_times))")

printf 'package: %d files, %d MB; package executable %d MB over 127.0.0.1\n' \
  "$files" $((files * size / 1024 / 1024)) \
  $(($(stat -c %s "$net/kelvo_package.exe") / 1024 / 1024))
printf '%-20s %6s %8s\n' "" best median
printf '%-20s %6.2f %8.2f s\n' "curl download" "$curl_best" \
  "$(median $curl_times)"
printf '%-20s %6.2f %8.2f s (native)\n' "7zz x -mmt1" "$unpack_best" \
  "$(median $unpack_times)"
printf '%-20s %6.2f %8.2f s (CopyFileW loop under Wine)\n' "raw copy" \
  "$copy_best" "$(median $copy_times)"
printf '%-20s %6.2f %8.2f s\n' "sum of the parts" "$parts" "$parts_median"
printf '%-20s %6.2f %8.2f s (under Wine; %d data files installed)\n' \
  "net install" "$install_best" "$(median $install_times)" "$installed"
echo "phases of the fastest net install:"
python3 "$top/bench/net_install_phases.py" "$work/best_logs"
printf 'ratio net install / sum of the parts: %5.2f best, %5.2f median' \
  "$(ratio "$install_best" "$parts")" \
  "$(ratio "$(median $install_times)" "$parts_median")"
printf ' (target <= 1.30)\n'
