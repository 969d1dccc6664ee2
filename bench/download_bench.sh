#!/usr/bin/env bash
# Benchmark, not a test: the loopback test server serves a file of 256 MB;
# the installer's WininetDownloader (download_file.exe under Wine) writes it
# to a file, and so does curl -o. Both transfers are timed from request to
# the end of the body (the downloader by itself, curl by its time_total), so
# Wine's start-up does not count. Prints the best of ROUNDS alternating
# rounds of each, their ratio (target: at most 1.1) and the downloader's
# peak working set, which stays far below the file's size.
#
# The served file and both downloads lie in a RAM folder (drive T: under
# Wine): on the disk the page cache's writeback made the same transfer
# take from 0.35 s to over 0.7 s from one round to the next.
#
#   bench/download_bench.sh [BUILD_DIR] [ROUNDS]  (default: out/main, 7)
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
. "$top/bench/bench_lib.sh"
out="${1:-${KELVO_BUILD_DIR:-$top/out/main}}"
out=$(mkdir -p "$out" && cd "$out" && pwd)
size_mb=256
rounds=${2:-7}

"$top/tools/build.sh" "$out" download_file >/dev/null

export WINEPREFIX="$out/wineprefix"
"$top/tools/wine_prefix.sh" start "$WINEPREFIX"
. "$top/tools/wine_env.sh"
server_dir="$out/bench/download/server"
work=$(mktemp -d /dev/shm/kelvo-download-bench.XXXXXX)
drive="$WINEPREFIX/dosdevices/t:"
mkdir -p "$server_dir"
cleanup() {
  python3 "$top/testing/servers/http_test_server.py" stop --state-dir "$server_dir"
  rm -f "$drive"
  rm -rf "$work"
  "$top/tools/wine_prefix.sh" stop "$WINEPREFIX"
}
trap cleanup EXIT
ln -sfn "$work" "$drive"

head -c $((size_mb * 1024 * 1024)) /dev/urandom >"$work/source.bin"
python3 "$top/testing/servers/http_test_server.py" start \
  --state-dir "$server_dir" >/dev/null
read -r port control_port < <(python3 -c '
import json, sys
info = json.load(open(sys.argv[1]))
print(info["port"], info["control_port"])' "$server_dir/server.json")
curl --noproxy '*' -sf -X POST \
  "http://127.0.0.1:$control_port/script?path=/bench/source.bin" \
  -d "[{\"file\": \"$work/source.bin\"}]" >/dev/null
url="http://127.0.0.1:$port/bench/source.bin"
target_win='T:\wininet.bin'
# Warms the page cache and Wine's own files.
curl --noproxy '*' -sf -o /dev/null "$url"
"$WINE" "$out/bin/download_file.exe" "$url" "$target_win" >/dev/null 2>&1

time_curl() {
  rm -f "$work/curl.bin"
  curl --noproxy '*' -sf -o "$work/curl.bin" -w '%{time_total}' "$url"
}

# Prints the seconds and the peak working set in bytes.
time_wininet() {
  rm -f "$work/wininet.bin"
  local ms peak
  read -r ms peak < <("$WINE" "$out/bin/download_file.exe" "$url" \
    "$target_win" 2>/dev/null | tr -d '\r')
  echo "$(python3 -c "print($ms / 1000)") $peak"
}

curl_times=""
wininet_times=""
wininet_peak=0
for round in $(seq "$rounds"); do
  curl_times="$curl_times $(time_curl)"
  read -r seconds peak < <(time_wininet)
  wininet_times="$wininet_times $seconds"
  [ "$peak" -gt "$wininet_peak" ] && wininet_peak=$peak
done
if ! cmp -s "$work/source.bin" "$work/curl.bin" ||
  ! cmp -s "$work/source.bin" "$work/wininet.bin"; then
  echo "a downloaded file differs from the served one" >&2
  exit 1
fi
echo "curl -o rounds (s):$curl_times"
echo "WininetDownloader rounds (s):$wininet_times"
curl_best=$(best $curl_times)
wininet_best=$(best $wininet_times)
printf 'file: %d MB over 127.0.0.1\n' "$size_mb"
printf 'curl -o:           %6.3f s (best of %d)\n' "$curl_best" "$rounds"
printf 'WininetDownloader: %6.3f s (best of %d, under Wine)\n' \
  "$wininet_best" "$rounds"
printf 'ratio WininetDownloader / curl: %5.2f (target <= 1.1)\n' \
  "$(ratio "$wininet_best" "$curl_best")"
printf 'downloader peak working set: %d MB (file %d MB)\n' \
  $((wininet_peak / 1024 / 1024)) "$size_mb"
