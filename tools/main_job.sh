#!/usr/bin/env bash
# The README's main-job command: installs what is needed, builds the
# installer, builds a sample unpacked browser package and installs it
# silently under Wine, as a user would: the package's own installer.exe,
# started from the package folder with --silent. Then it shows what was
# installed: the exit code, the install log (installation_status.xml), the
# registry entries, and the installer's log file.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
out="${KELVO_BUILD_DIR:-$top/out/main}"

"$top/tools/setup.sh"
"$top/tools/build.sh" "$out" installer_host stand_in

export WINEPREFIX="$out/wineprefix"
"$top/tools/wine_prefix.sh" start "$WINEPREFIX"
trap '"$top/tools/wine_prefix.sh" stop "$WINEPREFIX"' EXIT
. "$top/tools/wine_env.sh"

sample="$out/sample"
package="$sample/package"
install_dir='C:\Kelvo Sample'
unix_install_dir="$WINEPREFIX/drive_c/Kelvo Sample"
log_dir="$WINEPREFIX/drive_c/users/$(id -un)/Temp/Kelvo Installer"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
clients_key='HKLM\Software\Clients\StartMenuInternet'

echo "== installer.exe --version"
"$WINE" "$out/bin/installer.exe" --version; echo
echo "== installer.exe --stream"
"$WINE" "$out/bin/installer.exe" --stream; echo

echo "== sample package"
python3 "$top/tools/make_sample_package.py" "$out/bin" "$package" \
  --files 300 --components "$sample/components"

# The sample runs call no update server: no statistics upload, no fetch of
# pref default overrides.
no_update_server=(--enable-installer-stats=0
  --with-feature:installer-pref-default-overrides-support=off)

# The installation of an earlier run goes first, through its own
# uninstaller, so that this run installs afresh.
for old in "$unix_install_dir"/*/installer.exe; do
  [ -f "$old" ] || continue
  version=$(basename "$(dirname "$old")")
  echo "== removing the sample installation of an earlier run ($version)"
  "$WINE" "$install_dir\\$version\\installer.exe" --silent --uninstall \
    "${no_update_server[@]}" ||
    echo "(its uninstall failed: exit code $?)"
done
# The uninstall leaves k.bat behind to delete what the installer processes
# held once they have ended; the folder is reused only when it is done.
for _ in $(seq 60); do
  [ -e "$unix_install_dir/k.bat" ] || break
  sleep 0.5
done
rm -rf "$unix_install_dir"

mkdir -p "$log_dir"
marker=$(mktemp)
trap 'rm -f "$marker"; "$top/tools/wine_prefix.sh" stop "$WINEPREFIX"' EXIT
echo "== $package/installer.exe --silent --installfolder=$install_dir" \
  "--components=suite:components"
status=0
"$WINE" "$package/installer.exe" --silent "--installfolder=$install_dir" \
  --components=suite:components "${no_update_server[@]}" || status=$?
echo "exit code: $status"

echo "== installed files in $install_dir"
if [ -d "$unix_install_dir" ]; then
  (cd "$unix_install_dir" && find . -maxdepth 2 | sort | sed 's|^\./||' |
    grep -v '^\.$')
  echo "($(find "$unix_install_dir" -type f | wc -l) files in all)"
fi

echo "== install log: $install_dir\\installation_status.xml"
if [ -f "$unix_install_dir/installation_status.xml" ]; then
  # The file list is long; its first entries stand for the rest.
  awk '/<file>/ { if (++files > 8) { skip = 1; next } }
       skip && /<\/file>/ { skip = 0; next }
       skip { next }
       /<\/files>/ && files > 8 { print "  ... " files - 8 " more files" }
       { print }' "$unix_install_dir/installation_status.xml"
fi

echo "== uninstall entry ($uninstall_key, 32-bit view)"
"$WINE" reg query "$uninstall_key" /s /reg:32 2>/dev/null | tr -d '\r' |
  awk '/^HKEY/ { show = /Kelvo/ } show'
echo "== StartMenuInternet ($clients_key)"
"$WINE" reg query "$clients_key" /s 2>/dev/null | tr -d '\r' |
  awk '/^HKEY/ { show = /Kelvo/ } show'

find "$log_dir" -name 'kelvo_installer_*.log' -newer "$marker" -print0 |
  sort -z | while IFS= read -r -d '' log; do
    echo "== log file: $log"
    cat "$log"
  done
exit "$status"
