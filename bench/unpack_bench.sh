#!/usr/bin/env bash
# Benchmark, not a test: times Archive7z unpacking a package tree of about
# 200 MB (x86-64 executables and DLLs, text, data that is already
# compressed) under Wine against "7zz x -mmt1" unpacking the same archive
# natively, for the archive packed with the project's packaging settings
# and for one packed with -mx9 (BCJ2, 64 MB dictionary). Best of three
# rounds each, alternating, and the ratio. Target: Archive7z takes at most
# 1.15 times as long, with memory bounded by the dictionary size plus a
# small constant; the peak memory of both is printed.
#
#   bench/unpack_bench.sh [BUILD_DIR]     (default: out/main)
#
# Archive7z's time is measured inside its process (Wine's start-up is not
# part of unpacking); 7zz's is its whole run. Both read the archive from
# the page cache and write to the same file system.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
out="${1:-${KELVO_BUILD_DIR:-$top/out/main}}"
# How packages are packed: 7z, LZMA2 at level 7 (32 MB dictionary), x86
# filters chosen by 7zz.
packaging=(-t7z -mx=7)

"$top/tools/build.sh" "$out" unpack_bench >/dev/null
out=$(cd "$out" && pwd)

export WINEPREFIX="$out/wineprefix"
"$top/tools/wine_prefix.sh" start "$WINEPREFIX"
trap '"$top/tools/wine_prefix.sh" stop "$WINEPREFIX"' EXIT
. "$top/tools/wine_env.sh"
export LC_ALL=C.UTF-8

bench="$out/bench/unpack"
tree="$bench/package"
unix_target="$WINEPREFIX/drive_c/kelvo_unpack_bench"
mkdir -p "$bench"

# The package tree, made once: the same bytes every time.
if [ ! -f "$bench/tree.done" ]; then
  rm -rf "$tree"
  python3 - "$tree" <<'PY'
import os, random, sys

tree = sys.argv[1]
random.seed(2531)

def write(relative, data):
    path = os.path.join(tree, relative)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)

# x86-64 images: Wine's own DLLs are real code for the branch filters.
images = "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows"
budget = 80 << 20
for name in sorted(os.listdir(images)):
    if budget <= 0:
        break
    with open(os.path.join(images, name), "rb") as f:
        data = f.read()
    if not data.startswith(b"MZ"):
        continue
    write(f"bin/{name}", data)
    budget -= len(data)

# Text: scripts, styles and locale strings.
words = ["".join(random.choice("abcdefghiklmnoprstuvwy") for _ in range(random.randint(2, 10)))
         for _ in range(5000)]
for i in range(300):
    lines = []
    size = 0
    while size < 200 << 10:
        line = "  " * random.randint(0, 6) + " ".join(
            random.choice(words) for _ in range(random.randint(3, 14))) + ";\n"
        lines.append(line)
        size += len(line)
    write(f"resources/text/module_{i:03d}.js", "".join(lines).encode())
for i in range(120):
    entries = ",\n".join(f'  "{random.choice(words)}_{j}": "{" ".join(random.choice(words) for _ in range(8))}"'
                         for j in range(400))
    write(f"locales/locale_{i:03d}.json", ("{\n" + entries + "\n}\n").encode())

# Data that does not compress: images, fonts, packed resources.
for i in range(60):
    write(f"resources/data/blob_{i:02d}.pak", random.randbytes(1 << 20))
PY
  touch "$bench/tree.done"
  rm -f "$bench"/*.7z
fi
size_mb=$(du -sm "$tree" | cut -f1)
files=$(find "$tree" -type f | wc -l)

archives=(packaging.7z mx9.7z)
pack() {
  local archive=$1
  shift
  # Four threads at most: others build on this machine.
  [ -f "$bench/$archive" ] ||
    (cd "$tree" && 7zz a -mmt=4 "$@" "$bench/$archive" . >/dev/null)
}
pack packaging.7z "${packaging[@]}"
pack mx9.7z -t7z -mx=9
cat "$bench"/*.7z >/dev/null

# Runs a command; prints its seconds and the peak resident size of its
# process in MiB, then the last line the command printed.
measure() {
  python3 - "$@" <<'PY'
import resource, subprocess, sys, time
start = time.monotonic()
run = subprocess.run(sys.argv[1:], check=True, stdout=subprocess.PIPE, text=True)
elapsed = time.monotonic() - start
rss = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss / 1024
print(f"{elapsed:.3f} {rss:.1f}")
lines = run.stdout.replace("\r", "").strip().splitlines()
print(lines[-1] if lines else "")
PY
}

time_7zz() {
  rm -rf "$bench/7zz_out"
  sync
  measure 7zz x -mmt1 -y "-o$bench/7zz_out" "$bench/$1" | sed -n 1p
}

# Prints the seconds of the extraction, its peak working set (MiB), the
# Wine process's peak resident size and the seconds of the whole Wine
# process.
time_archive7z() {
  rm -rf "$unix_target"
  sync
  measure "$WINE" "$out/bin/unpack_bench.exe" "$(winepath_of "$bench/$1")" \
    'C:\kelvo_unpack_bench' |
    awk 'NR == 1 { wall = $1; rss = $2 } NR == 2 { print $2, $4, rss, wall }'
}

winepath_of() {
  "$WINE" winepath -w "$1" | tr -d '\r'
}

best() {
  python3 -c "import sys; print(min(float(x) for x in sys.argv[1:]))" "$@"
}

printf 'package: %d files, %d MB\n' "$files" "$size_mb"
for archive in "${archives[@]}"; do
  methods=$(7zz l -slt "$bench/$archive" | sed -n 's/^Method = //p' | sort -u |
    tr '\n' ' ')
  ours=""
  theirs=""
  walls=""
  for round in 1 2 3; do
    read -r t rss <<<"$(time_7zz "$archive")"
    theirs="$theirs $t"
    theirs_rss=$rss
    read -r t working wine_rss wall <<<"$(time_archive7z "$archive")"
    ours="$ours $t"
    walls="$walls $wall"
  done
  # Both must have unpacked the same tree.
  diff -r "$tree" "$bench/7zz_out" >/dev/null
  diff -r "$tree" "$unix_target" >/dev/null
  rm -rf "$bench/7zz_out" "$unix_target"
  ours_best=$(best $ours)
  theirs_best=$(best $theirs)
  echo
  echo "$archive: $(stat -c %s "$bench/$archive" | awk '{printf "%.1f MB", $1 / 1048576}'), $methods"
  echo "  7zz x -mmt1 rounds (s):$theirs"
  echo "  Archive7z rounds (s):  $ours (whole Wine process:$walls)"
  printf '  7zz x -mmt1:  %6.2f s (best of 3), peak resident %.0f MiB\n' \
    "$theirs_best" "$theirs_rss"
  printf '  Archive7z:    %6.2f s (best of 3), peak working set %.0f MiB (Wine process resident %.0f MiB)\n' \
    "$ours_best" "$working" "$wine_rss"
  printf '  ratio Archive7z / 7zz: %.2f (target <= 1.15)\n' \
    "$(python3 -c "print($ours_best / $theirs_best)")"
done
