#!/usr/bin/env bash
# The README's main-job command: installs what is needed, builds the
# installer, and runs it under Wine, showing what it did.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
out="${KELVO_BUILD_DIR:-$top/out/main}"

"$top/tools/setup.sh"
"$top/tools/build.sh" "$out" installer_host stand_in

export WINEPREFIX="$out/wineprefix"
"$top/tools/wine_prefix.sh" start "$WINEPREFIX"
trap '"$top/tools/wine_prefix.sh" stop "$WINEPREFIX"' EXIT
. "$top/tools/wine_env.sh"
installer="$out/bin/installer.exe"

echo "== installer.exe --version"
"$WINE" "$installer" --version; echo
echo "== installer.exe --stream"
"$WINE" "$installer" --stream; echo
echo "== installer.exe --silent (a logged run)"
status=0
"$WINE" "$installer" --silent || status=$?
echo "exit code: $status"
log_dir="$WINEPREFIX/drive_c/users/$(id -un)/Temp/Kelvo Installer"
latest=$(ls -t "$log_dir"/kelvo_installer_*.log 2>/dev/null | head -n 1)
if [ -n "$latest" ]; then
  echo "== $latest"
  cat "$latest"
fi
