#!/usr/bin/env bash
# The README's main-job command: installs what is needed, builds the
# installer, builds a sample unpacked browser package and installs it
# silently under Wine, as a user would: the package's own installer.exe,
# started from the package folder with --silent. Then it shows what was
# installed: the exit code, the install log (installation_status.xml), the
# registry entries, and the installer's log file.
#
# Then the road of a real browser's net installer: the loopback test server
# plays the update server and serves the same package packed as it hands
# packages out (the installer carrying the 7z archive); a small net
# installer (the installer carrying tracking data) is run with --silent and
# internal-package-server pointing at that server. It shows the requests
# the server saw, the download and unpack steps of the installer's log, the
# exit code, the installed files and the registry entries.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
out="${KELVO_BUILD_DIR:-$top/out/main}"

"$top/tools/setup.sh"
"$top/tools/build.sh" "$out" installer_host installer_standalone stand_in

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

# The installation of an earlier run in the Windows folder $1 (Unix path
# $2) goes first, through its own uninstaller, so that this run installs
# afresh.
remove_earlier_installation() {
  local old version
  for old in "$2"/*/installer.exe; do
    [ -f "$old" ] || continue
    version=$(basename "$(dirname "$old")")
    echo "== removing the installation of an earlier run in $1 ($version)"
    "$WINE" "$1\\$version\\installer.exe" --silent --uninstall \
      "${no_update_server[@]}" ||
      echo "(its uninstall failed: exit code $?)"
  done
  # The uninstall leaves k.bat behind to delete what the installer
  # processes held once they have ended; the folder is reused only when it
  # is done.
  for _ in $(seq 60); do
    [ -e "$2/k.bat" ] || break
    sleep 0.5
  done
  rm -rf "$2"
}
remove_earlier_installation "$install_dir" "$unix_install_dir"

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

# --- The net install ------------------------------------------------------
net="$sample/net"
net_dir='C:\Kelvo Net'
unix_net_dir="$WINEPREFIX/drive_c/Kelvo Net"
server_state="$net/server"
echo
echo "== net install: the package packed as the update server hands it out"
python3 "$top/tools/net_install.py" pack "$out/bin" "$package" "$net"
ls -l "$net"/*.exe | awk '{ printf "  %-34s %10d bytes\n", $NF, $5 }' |
  sed "s|$net/||"
echo "  (kelvo_package.exe: installer_standalone.exe carrying the sample" \
  "package as a 7z archive;"
echo "   kelvo_net_installer.exe: installer_standalone.exe carrying the" \
  "tracking data)"

python3 "$top/testing/servers/http_test_server.py" start \
  --state-dir "$server_state" >/dev/null
stop_server() {
  python3 "$top/testing/servers/http_test_server.py" stop \
    --state-dir "$server_state"
}
trap 'stop_server; rm -f "$marker"; "$top/tools/wine_prefix.sh" stop "$WINEPREFIX"' EXIT
address=$(python3 "$top/tools/net_install.py" serve "$server_state" \
  "$net/kelvo_package.exe")
echo "== loopback update server: $address"

remove_earlier_installation "$net_dir" "$unix_net_dir"

touch "$marker"
echo "== kelvo_net_installer.exe --silent --installfolder=$net_dir" \
  "--internal-package-server=$address"
net_status=0
"$WINE" "$net/kelvo_net_installer.exe" --silent "--installfolder=$net_dir" \
  "--internal-package-server=$address" "${no_update_server[@]}" ||
  net_status=$?
echo "exit code: $net_status"

echo "== requests the update server saw"
python3 "$top/tools/net_install.py" requests "$server_state"

echo "== download and unpack steps (the front end's log)"
front_log=$(find "$log_dir" -name 'kelvo_installer_*.log' -newer "$marker" |
  sort | head -n 1)
if [ -n "$front_log" ]; then
  grep -E 'Starting the package fetcher|Fetching the download URL|'\
'Starting download from|Download completed|Downloaded item|'\
'Writing payload to file|Unpacking files from archive|Package ready|'\
'launching installer backend|exited with code' "$front_log" |
    sed -E 's/^\[[^]]*\] //'
fi

echo "== installed files in $net_dir"
if [ -d "$unix_net_dir" ]; then
  (cd "$unix_net_dir" && find . -maxdepth 2 | sort | sed 's|^\./||' |
    grep -v '^\.$')
  echo "($(find "$unix_net_dir" -type f | wc -l) files in all)"
fi
echo "== uninstall entry of $net_dir ($uninstall_key, 32-bit view)"
"$WINE" reg query "$uninstall_key" /s /reg:32 2>/dev/null | tr -d '\r' |
  awk '/^HKEY/ { block = ""; keep = 0 }
       { block = block $0 "\n" }
       /InstallLocation/ && /Kelvo Net/ { keep = 1 }
       /^$/ && keep { printf "%s", block; keep = 0 }'

[ "$status" -eq 0 ] || exit "$status"
exit "$net_status"
