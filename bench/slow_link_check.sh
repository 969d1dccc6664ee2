#!/usr/bin/env bash
# A check by hand, not a test (it takes minutes): the installer's
# WininetDownloader (download_file.exe under Wine) against the loopback test
# server playing slow, pausing and silent links, in real time, with the
# downloader's own stall period and retry delay. The three run side by
# side; for each, prints whether it completed and how long it took.
#
#   trickle  300 KB at 5 KB/s: completes in about 60 s.
#   pauses   400 KB that pause for 35 s after every 100 KB of an answer
#            (three pauses): completes, each pause ending in a stall and a
#            resume from the bytes written.
#   silent   a server that never answers: fails after three stalls.
#
#   bench/slow_link_check.sh [BUILD_DIR]     (default: out/test)
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
out="${1:-${KELVO_BUILD_DIR:-$top/out/test}}"
out=$(mkdir -p "$out" && cd "$out" && pwd)

"$top/tools/build.sh" "$out" download_file >/dev/null

export WINEPREFIX="$out/wineprefix"
"$top/tools/wine_prefix.sh" start "$WINEPREFIX"
. "$top/tools/wine_env.sh"
server_dir="$out/bench/slow_link/server"
work=$(mktemp -d)
mkdir -p "$server_dir"
cleanup() {
  python3 "$top/testing/servers/http_test_server.py" stop --state-dir "$server_dir"
  rm -rf "$work"
  "$top/tools/wine_prefix.sh" stop "$WINEPREFIX"
}
trap cleanup EXIT

python3 "$top/testing/servers/http_test_server.py" start \
  --state-dir "$server_dir" >/dev/null
read -r port control_port < <(python3 -c '
import json, sys
info = json.load(open(sys.argv[1]))
print(info["port"], info["control_port"])' "$server_dir/server.json")

script() {
  curl --noproxy '*' -sf -X POST \
    "http://127.0.0.1:$control_port/script?path=/slow/$1" -d "$2" >/dev/null
}
script trickle '[{"pattern_size": 300000, "rate": 5000}]'
script pauses '[{"pattern_size": 400000, "pause_every": 100000, "pause": 35}]'
script silent '[{"silent": 200}]'

# Prints the case, its outcome, its seconds and the bytes written.
run() {
  local start end rc=0
  start=$(date +%s.%N)
  "$WINE" "$out/bin/download_file.exe" "http://127.0.0.1:$port/slow/$1" \
    "$("$WINE" winepath -w "$work/$1.bin" | tr -d '\r')" \
    >"$work/$1.out" 2>&1 || rc=$?
  end=$(date +%s.%N)
  printf '%-8s %-9s %6.1f s %8d bytes\n' "$1" \
    "$([ $rc -eq 0 ] && echo completed || echo failed)" \
    "$(python3 -c "print($end - $start)")" \
    "$(stat -c %s "$work/$1.bin" 2>/dev/null || echo 0)"
}

run trickle >"$work/trickle.result" &
run pauses >"$work/pauses.result" &
run silent >"$work/silent.result" &
wait
cat "$work/trickle.result" "$work/pauses.result" "$work/silent.result"
python3 - "$work" <<'PY'
import sys
expected = bytes(range(251)) * 2000
for name, size in (("trickle", 300000), ("pauses", 400000)):
    with open("%s/%s.bin" % (sys.argv[1], name), "rb") as f:
        if f.read() != expected[:size]:
            print("%s: the file differs from the served body" % name)
PY
grep -h "stalled\|Attempting download resume\|Download failed" \
  "$work/pauses.out" "$work/silent.out" | sed 's/^\[[^]]*\] *//'
