#!/usr/bin/env bash
# Runs the built installer by hand under the Wine prefix of the build folder
# (out/test, or KELVO_BUILD_DIR), building what is missing first. See usage
# below and the README's "Running the installer by hand".
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)

usage() {
  cat <<'EOF'
Usage: tools/kelvo.sh COMMAND [ARGUMENTS]

  install [FOLDER] [SWITCH...]   Installs the sample package silently into
                                 FOLDER, a Windows path such as 'C:\Kelvo'
                                 (without FOLDER the installer chooses).
  upgrade FOLDER [SWITCH...]     Installs the sample package again over the
                                 installation in FOLDER.
  uninstall FOLDER [SWITCH...]   Uninstalls the installation in FOLDER: its
                                 version folder's installer.exe --silent
                                 --uninstall.
  run [ARGUMENT...]              Runs the built installer.exe, for example
                                 with --version.
  reg ARGUMENT...                Wine's reg.exe in the prefix, for example:
                                 reg query 'HKLM\Software\Clients' /s

SWITCHes go to the installer as they are, e.g. --desktopshortcut=0 or
--components=suite:components (the sample's "suite" component). Every run
also gets --enable-installer-stats=0,
--with-feature:installer-pref-default-overrides-support=off and
--internal-package-server=no-server:, last, so that it calls no update
server. On failure the installer's log is named and the
lines that tell why are shown. KELVO_PACKAGE names
another unpacked package than the sample; KELVO_BUILD_DIR another build
folder.
EOF
}

if [ $# -eq 0 ] || [ "$1" = "-h" ] || [ "$1" = "--help" ]; then
  usage
  exit 0
fi

command=$1
shift
case "$command" in
install | upgrade | uninstall | run | reg) ;;
*)
  echo "kelvo.sh: unknown command \"$command\"" >&2
  usage >&2
  exit 2
  ;;
esac
if [ "$command" != install ] && [ "$command" != run ] &&
  [ "$command" != reg ]; then
  if [ $# -eq 0 ] || [ "${1#-}" != "$1" ]; then
    echo "kelvo.sh: $command needs the FOLDER of the installation" >&2
    exit 2
  fi
fi

. "$top/tools/build_folder.sh"
hold_build_folder "$0" "$command" "$@"
. "$top/tools/installer_story.sh"
sample="$out/sample"
package="${KELVO_PACKAGE:-$sample/package}"

# A no-op for ninja when nothing changed; its output only when it fails.
build_if_needed() {
  local output
  if [ ! -f "$out/bin/installer.dll" ]; then
    say "Building the installer in $out (the first time takes minutes)"
  fi
  if ! output=$("$top/tools/build.sh" "$out" installer_host stand_in 2>&1); then
    printf '%s\n' "$output"
    echo "kelvo.sh: the build failed" >&2
    exit 1
  fi
}

# The sample package is made again when the installer in it is not the one
# just built.
make_sample_if_needed() {
  [ -z "${KELVO_PACKAGE:-}" ] || return 0
  if [ -f "$package/files_list" ] &&
    cmp -s "$out/bin/installer.dll" "$package/installer.dll" &&
    cmp -s "$out/bin/stand_in.exe" "$package/kelvo.exe"; then
    return 0
  fi
  python3 "$top/tools/make_sample_package.py" "$out/bin" "$package" \
    --components "$sample/components" >/dev/null
  say "Made the sample package $package"
}

start_prefix() {
  export WINEPREFIX="$out/wineprefix"
  if [ ! -f "$WINEPREFIX/.kelvo-ready" ]; then
    say "Creating the Wine prefix $WINEPREFIX (once, about a minute)"
  fi
  "$top/tools/wine_prefix.sh" start "$WINEPREFIX"
  trap '"$top/tools/wine_prefix.sh" stop "$WINEPREFIX"' EXIT
  . "$top/tools/wine_env.sh"
}

# The version folder of the installation in FOLDER, or a message and exit.
version_folder_of() {
  local subfolder
  if ! subfolder=$(python3 "$top/tools/installation_report.py" subfolder \
    "$1" 2>&1); then
    echo "kelvo.sh: $subfolder" >&2
    exit 1
  fi
  printf '%s' "$subfolder"
}

report_failed=0
report() {
  shown python3 "$top/tools/installation_report.py" "$@" || report_failed=1
}

build_if_needed
start_prefix
case "$command" in
install | upgrade)
  make_sample_if_needed
  switches=()
  folder=""
  if [ $# -gt 0 ] && [ "${1#-}" = "$1" ]; then
    folder=$1
    shift
    switches=("--installfolder=$folder")
  fi
  if [ "$command" = upgrade ]; then
    subfolder=$(version_folder_of "$folder")
    say "Upgrading the installation in $folder (version folder $subfolder)"
  fi
  run_installer "$WINE" "$package/installer.exe" --silent "${switches[@]}" \
    "$@" "${update_server_off[@]}"
  if [ -z "$folder" ] && [ ${#run_logs[@]} -gt 0 ]; then
    folder=$(python3 "$top/tools/installer_log.py" folder "${run_logs[@]}" ||
      true)
  fi
  if show_result "the $command" && [ -n "$folder" ]; then
    report installed "$folder"
    say "    Uninstall with:  tools/kelvo.sh uninstall '$folder'"
  fi
  show_logs "the $command"
  ;;
uninstall)
  folder=$1
  shift
  subfolder=$(version_folder_of "$folder")
  saved_log=$(mktemp)
  cp "$(python3 "$top/tools/installation_report.py" path \
    "$folder\\installation_status.xml")" "$saved_log"
  run_installer "$WINE" "$folder\\$subfolder\\installer.exe" --silent \
    --uninstall "$@" "${update_server_off[@]}"
  if show_result "the uninstall"; then
    report removed "$folder" "$saved_log"
  fi
  rm -f "$saved_log"
  show_logs "the uninstall"
  ;;
run)
  run_installer "$WINE" "$out/bin/installer.exe" "$@" "${update_server_off[@]}"
  case " $* " in
  # Their answer comes without a line end.
  *" --version "* | *" --internal-version "* | *" --stream "*) echo ;;
  esac
  show_result "the run" || true
  show_logs "the run"
  ;;
reg)
  status=0
  "$WINE" reg "$@" || status=$?
  exit "$status"
  ;;
esac
# The installer's own exit code; 1 when it succeeded but the installation
# is not as its install log says.
if [ "$run_status" -ne 0 ]; then
  exit "$run_status"
fi
exit "$report_failed"
