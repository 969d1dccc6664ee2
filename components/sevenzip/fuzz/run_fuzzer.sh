#!/usr/bin/env bash
# run_fuzzer.sh FUZZER WORK_DIR [SECONDS]: replays the kept regression
# inputs, then fuzzes the 7z reader for SECONDS (default
# $KELVO_FUZZ_SECONDS or 60) from a seed corpus of small archives that 7zz
# makes here. Fails on any crash, leak, hang or sanitizer report; the input
# that caused it is left in WORK_DIR/artifacts, to be kept in regressions/.
set -eu
fuzzer=$1
work=$2
seconds=${3:-${KELVO_FUZZ_SECONDS:-60}}
here=$(cd "$(dirname "$0")" && pwd)
export LC_ALL=C.UTF-8

rm -rf "$work"
mkdir -p "$work/seeds" "$work/corpus" "$work/artifacts" "$work/tree/dir/sub"
tree="$work/tree"
printf 'hello, archive\n' >"$tree/hello.txt"
: >"$tree/empty.txt"
mkdir -p "$tree/empty dir"
printf 'Grüße\n' >"$tree/dir/sub/grüße.txt"
# Bytes with E8/E9 opcodes and near addresses, for the branch filters.
python3 - "$tree/dir/code.bin" <<'PY'
import random, sys
random.seed(3)
out = bytearray()
while len(out) < 3000:
    out += random.choice([b"\xe8", b"\xe9", b"\x0f\x84", b"\x90"])
    out += random.randrange(1 << 16).to_bytes(2, "little") + random.choice([b"\0\0", b"\xff\xff"])
open(sys.argv[1], "wb").write(out)
PY
n=0
for args in "-mx0" "" "-mx9" "-m0=LZMA" "-mf=BCJ" "-mf=BCJ2" "-mhc=off" \
    "-ms=off -mhc=off" "-mx1 -md=64k -mf=BCJ2 -mhc=off"; do
  n=$((n + 1))
  (cd "$tree" && 7zz a -t7z $args "$work/seeds/seed$n.7z" . >/dev/null)
done

common=(-rss_limit_mb=2048 -timeout=10 "-artifact_prefix=$work/artifacts/")
regressions=("$here"/regressions/*)
if [ -e "${regressions[0]}" ]; then
  echo "Replaying ${#regressions[@]} regression inputs"
  "$fuzzer" "${common[@]}" "${regressions[@]}"
fi
echo "Fuzzing for $seconds s"
"$fuzzer" "${common[@]}" -max_total_time="$seconds" -print_final_stats=1 \
  "$work/corpus" "$work/seeds"
