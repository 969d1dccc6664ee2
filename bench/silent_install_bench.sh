#!/usr/bin/env bash
# Benchmark, not a test: times the silent install of a package of 2,000
# files / 200 MB under Wine (the package's installer.exe with --silent, front
# end and backend, from start to exit) against the plain copy of the same
# files by raw_copy.exe (one CopyFileW each, also under Wine), and prints the
# ratio. Target: the install takes at most 1.5 times the plain copy.
#
#   bench/silent_install_bench.sh [BUILD_DIR]
#
# BUILD_DIR defaults to the folder the README commands share (out/test).
#
# The installer calls no update server (no statistics upload, no fetch of
# pref default overrides). Both read the package from the page cache (it is
# read once before), and both write into the prefix's drive C:. The
# installation is removed again by its own uninstaller.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
. "$top/bench/bench_lib.sh"
hold_bench_build_folder "$@"
files=2000
size=$((200 * 1024 * 1024 / files))

"$top/tools/build.sh" "$out" installer_host stand_in raw_copy >/dev/null

export WINEPREFIX="$out/wineprefix"
"$top/tools/wine_prefix.sh" start "$WINEPREFIX"
trap '"$top/tools/wine_prefix.sh" stop "$WINEPREFIX"' EXIT
. "$top/tools/wine_env.sh"
. "$top/tools/installer_story.sh"

package="$out/bench/package"
bench_dir='C:\kelvo_bench'
unix_bench_dir="$WINEPREFIX/drive_c/kelvo_bench"

# An installation of an earlier run goes through its own uninstaller.
remove_installations() {
  remove_installation "$bench_dir\\install"
  rm -rf "$unix_bench_dir"
}

python3 "$top/tools/make_sample_package.py" "$out/bin" "$package" \
  --files "$files" --size "$size"
remove_installations
find "$package" -type f -exec cat {} + >/dev/null
package_win=$("$WINE" winepath -w "$package" | tr -d '\r')

time_install() {
  remove_installations >&2
  sync
  local start=$(date +%s.%N)
  "$WINE" "$package/installer.exe" --silent \
    "--installfolder=$bench_dir\\install" --launchkelvo=0 \
    --desktopshortcut=0 --startmenushortcut=0 --quicklaunchshortcut=0 \
    --pintotaskbar=0 "${update_server_off[@]}" || return 1
  seconds_taken "$start"
}

# The best of three rounds of each, alternating, so that the load of other
# work on the machine weighs least.
raw=""
install=""
for round in 1 2 3; do
  raw="$raw $(time_raw_copy "$package_win" "$bench_dir\\raw" \
    "$unix_bench_dir/raw")"
  if ! t=$(time_install); then
    remove_installations
    echo "the silent install failed" >&2
    exit 1
  fi
  install="$install $t"
done
installed=$(find "$unix_bench_dir/install" -type f -name '*.pak' | wc -l)
remove_installations
echo "raw copy rounds (s):$raw"
echo "silent install rounds (s):$install"
raw=$(best $raw)
install=$(best $install)

printf 'package: %d files, %d MB\n' "$files" $((files * size / 1024 / 1024))
printf 'raw copy (CopyFileW loop): %6.2f s (best of 3)\n' "$raw"
printf 'silent install:            %6.2f s (best of 3; %d data files installed)\n' \
  "$install" "$installed"
printf 'ratio install / raw copy:  %6.2f (target <= 1.50)\n' \
  "$(ratio "$install" "$raw")"
