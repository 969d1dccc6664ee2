#!/usr/bin/env bash
# Benchmark, not a test: a net install of a package of 2,000 files / 200 MB
# (data that does not compress, so the download is as large) under Wine,
# from the loopback test server playing the update server: the net
# installer with --silent, from its start to its exit (download address,
# package download, checks, unpacking, the backend's installation). Against
# the sum of its parts, measured in the same run: curl downloading the
# package executable from the same server, "7zz x -mmt1" unpacking its
# archive natively, and the plain copy of the package's files by
# raw_copy.exe under Wine (the copy loop of silent_install_bench.sh). Best
# of three alternating rounds each; the ratio's target is at most 1.3.
#
#   bench/net_install_bench.sh [BUILD_DIR]
#
# BUILD_DIR defaults to the folder the README commands share (out/test).
#
# The installer calls no server but the loopback one (no statistics, no
# pref default overrides). Each installation is removed again by its own
# uninstaller.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
. "$top/bench/bench_lib.sh"
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
package="$work/package"
net="$work/net"
server_state="$work/server"
bench_dir='C:\kelvo_net_bench'
unix_bench_dir="$WINEPREFIX/drive_c/kelvo_net_bench"
cleanup() {
  python3 "$top/testing/servers/http_test_server.py" stop \
    --state-dir "$server_state"
  remove_installation "$bench_dir\\install" >/dev/null
  rm -rf "$unix_bench_dir" "$work/curl.exe" "$work/unpacked"
  "$top/tools/wine_prefix.sh" stop "$WINEPREFIX"
}
trap cleanup EXIT
mkdir -p "$work"

python3 "$top/tools/make_sample_package.py" "$out/bin" "$package" \
  --files "$files" --size "$size" --incompressible >/dev/null
python3 "$top/tools/net_install.py" pack "$out/bin" "$package" "$net"
python3 "$top/testing/servers/http_test_server.py" start \
  --state-dir "$server_state" >/dev/null
address=$(python3 "$top/tools/net_install.py" serve "$server_state" \
  "$net/kelvo_package.exe")
package_url="${address%%/netinstaller/*}/packages/kelvo_package.exe"
package_win=$("$WINE" winepath -w "$package" | tr -d '\r')
# Everything read comes from the page cache, for both sides.
find "$package" "$net" -type f -exec cat {} + >/dev/null

time_curl() {
  rm -f "$work/curl.exe"
  curl --noproxy '*' -sf -o "$work/curl.exe" -w '%{time_total}' "$package_url"
}

time_7zz() {
  rm -rf "$work/unpacked"
  sync
  local start=$(date +%s.%N)
  7zz x -mmt1 -y -o"$work/unpacked" "$net/package.7z" >/dev/null
  seconds_taken "$start"
}

time_net_install() {
  remove_installation "$bench_dir\\install" >&2
  sync
  local start=$(date +%s.%N)
  "$WINE" "$net/kelvo_net_installer.exe" --silent \
    "--installfolder=$bench_dir\\install" --launchkelvo=0 \
    --desktopshortcut=0 --startmenushortcut=0 --quicklaunchshortcut=0 \
    --pintotaskbar=0 "${update_server_off[@]}" \
    "--internal-package-server=$address" >/dev/null || return 1
  seconds_taken "$start"
}

curl_times=""
unpack_times=""
copy_times=""
install_times=""
for round in 1 2 3; do
  curl_times="$curl_times $(time_curl)"
  unpack_times="$unpack_times $(time_7zz)"
  copy_times="$copy_times $(time_raw_copy "$package_win" \
    "$bench_dir\\raw" "$unix_bench_dir/raw")"
  if ! t=$(time_net_install); then
    echo "the net install failed" >&2
    exit 1
  fi
  install_times="$install_times $t"
done
if ! cmp -s "$work/curl.exe" "$net/kelvo_package.exe"; then
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

printf 'package: %d files, %d MB; package executable %d MB over 127.0.0.1\n' \
  "$files" $((files * size / 1024 / 1024)) \
  $(($(stat -c %s "$net/kelvo_package.exe") / 1024 / 1024))
printf 'curl download:      %6.2f s (best of 3)\n' "$curl_best"
printf '7zz x -mmt1:        %6.2f s (best of 3, native)\n' "$unpack_best"
printf 'raw copy:           %6.2f s (best of 3, CopyFileW loop under Wine)\n' \
  "$copy_best"
printf 'sum of the parts:   %6.2f s\n' "$parts"
printf 'net install:        %6.2f s (best of 3, under Wine; %d data files' \
  "$install_best" "$installed"
printf ' installed)\n'
printf 'ratio net install / sum of the parts: %5.2f (target <= 1.30)\n' \
  "$(ratio "$install_best" "$parts")"
