#!/usr/bin/env bash
# full_disk_copy_test.sh WINE_RUN FULL_DISK_COPY_EXE SCRATCH_DIR
# A disk that fills up during a copy: the helper may write no file larger
# than 256 KiB, and copies 1 MiB. The platform's copy then fails half-way
# and leaves a partial file, which the failed operation must remove.
set -eu
wine_run=$1
helper=$2
scratch=$3
rm -rf "$scratch"
mkdir -p "$scratch"
head -c 1048576 /dev/urandom > "$scratch/source.bin"
windows_dir="Z:$(echo "$scratch" | tr / '\\')"
status=0
(
  # Writing past the limit fails with EFBIG instead of ending the process.
  trap '' XFSZ
  ulimit -f 256
  exec "$wine_run" "$helper" "$windows_dir\\source.bin" \
    "$windows_dir\\new\\folder\\copy.bin"
) || status=$?
rm -rf "$scratch"
if [ "$status" -ne 0 ]; then
  echo "full disk copy: exit code $status"
  exit 1
fi
echo "full disk copy: the failed copy left nothing behind"
