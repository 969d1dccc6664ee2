#!/usr/bin/env bash
# make_test_archives.sh DEST PE_FILE: the archives the 7z tests extract,
# made by 7zz from one tree (in DEST/tree) that has what a package has:
# executables and DLLs (x86 code for the branch filters), text, data that
# does not compress, an empty file, an empty folder, nested folders and
# names beyond ASCII, with fixed modification times.
set -eu
dest=$1
pe=$2
export LC_ALL=C.UTF-8

rm -rf "$dest"
tree="$dest/tree"
mkdir -p "$tree/app/lib" "$tree/app/resources/données" "$tree/empty folder"
cp "$pe" "$tree/app/kelvo.exe"
# A second, different image.
head -c $(( $(stat -c %s "$pe") * 3 / 5 )) "$pe" >"$tree/app/lib/helper.dll"
python3 - "$tree" <<'PY'
import random, sys
random.seed(7)
tree = sys.argv[1]
words = ["".join(random.choice("abcdefghilmnorstu") for _ in range(random.randint(2, 9)))
         for _ in range(800)]
with open(f"{tree}/app/resources/readme.txt", "w") as f:
    f.write(" ".join(random.choice(words) for _ in range(60000)))
with open(f"{tree}/app/resources/données/übersicht.txt", "w") as f:
    f.write("Übersicht – 概要\n" * 300)
with open(f"{tree}/app/resources/日本語.pak", "wb") as f:
    f.write(random.randbytes(300000))
PY
: >"$tree/app/empty.txt"
printf 'x' >"$tree/one byte"
# Times with a fraction of a second, which 7z keeps to 100 ns.
find "$tree" -exec touch -d '2021-03-04 05:06:07.1234567 UTC' {} +
touch -d '1999-12-31 23:59:59.5 UTC' "$tree/app/kelvo.exe"

make() {
  local name=$1
  shift
  (cd "$tree" && 7zz a -t7z "$@" "$dest/$name" . >/dev/null)
}
make copy.7z -mx0
make default.7z
make lzma.7z -m0=LZMA
make bcj2.7z -mx9
make blocks.7z -ms=off -mhc=off
