#!/usr/bin/env bash
# The README's main-job command. It installs what is needed, builds the
# installer, makes a sample unpacked browser package and installs it
# silently under Wine as a user would (the package's own installer.exe,
# started with --silent), shows what the installation holds, uninstalls it
# again the same way and ends with a one-line verdict. The screen tells the
# story; everything else (build output, the installer's logs, the install
# log, the registry entries) goes to main_job.log in the build folder, which
# it shares with the test command (out/test, or KELVO_BUILD_DIR).
#
# Each act is a function built from the story helpers below, so that
# another act (another way to install) is one more function and one more
# line at the end.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
. "$top/tools/build_folder.sh"
hold_build_folder "$0" "$@"

full_log="$out/main_job.log"
: >"$full_log"
failures=()
started=$(date +%s%N)

sample="$out/sample"
package="$sample/package"
install_dir='C:\Kelvo Sample'

# --- Story helpers -------------------------------------------------------

say() {
  printf '%s\n' "$*" | tee -a "$full_log"
}

act() {
  say ""
  say "$*"
}

# Runs a command with its output in the full log only.
quietly() {
  printf '\n$ %s\n' "$*" >>"$full_log"
  "$@" >>"$full_log" 2>&1
}

fail() {
  failures+=("$1")
}

seconds_since() {
  local now
  now=$(date +%s%N)
  printf '%d.%d s' $(((now - $1) / 1000000000)) \
    $((((now - $1) / 100000000) % 10))
}

# The command line as a user would type it.
shown_command() {
  local arg text=""
  for arg in "$@"; do
    case "$arg" in
    *' '*) text="$text \"$arg\"" ;;
    *) text="$text $arg" ;;
    esac
  done
  printf '%s' "${text# }"
}

# Build progress from ninja's "[n/total]" lines: one line rewritten on a
# terminal, a line at every quarter otherwise.
show_build_progress() {
  awk -v tty="$1" '
    /^\[[0-9]+\/[0-9]+\]/ {
      split(substr($1, 2), n, "/")
      percent = int(100 * n[1] / n[2])
      if (tty) {
        printf "\r    [%3d%%] %d of %d build steps", percent, n[1], n[2]
        shown = 1
      } else if (int(percent / 25) > quarter) {
        quarter = int(percent / 25)
        printf "    [%3d%%] %d of %d build steps\n", percent, n[1], n[2]
      }
      fflush()
    }
    /^ninja: no work to do/ { print "    Nothing to build: up to date" }
    END { if (shown) printf "\n" }'
}

# run_installer COMMAND...: shows the command line, then the installer's own
# step progress live from its log; sets run_status, run_time and run_logs
# (the run's log files).
run_installer() {
  say "    \$ $(shown_command "$@")"
  printf '\n$ %s\n' "$*" >>"$full_log"
  local logs_file started_run
  logs_file=$(mktemp)
  started_run=$(date +%s%N)
  run_status=0
  # Straight to the screen: the full log gets the installer's log itself.
  python3 "$top/tools/installer_log.py" follow "$log_dir" \
    --logs "$logs_file" --output "$full_log" -- "$@" || run_status=$?
  run_time=$(seconds_since "$started_run")
  mapfile -t run_logs <"$logs_file"
  rm -f "$logs_file"
}

# The result line of the last run; false when it failed.
show_result() {
  if [ "$run_status" -eq 0 ]; then
    say "    Result:          succeeded (exit code 0) in $run_time"
  else
    say "  ! Result:          FAILED with exit code $run_status after $run_time"
    fail "$1 failed (exit code $run_status)"
    return 1
  fi
}

# Where the run's log is, its last errors when it failed, and one line per
# cause of its warnings, each saying why it is expected.
show_logs() {
  local log
  for log in "${run_logs[@]}"; do
    say "    Installer log:   $log"
    printf '\n== installer log %s\n' "$log" >>"$full_log"
    cat "$log" >>"$full_log"
  done
  if [ ${#run_logs[@]} -eq 0 ]; then
    say "  ! Installer log:   none written in $log_dir"
    fail "$1 wrote no log"
    return
  fi
  if [ "$run_status" -ne 0 ]; then
    say "    Last errors in the log:"
    python3 "$top/tools/installer_log.py" errors "${run_logs[@]}" |
      tee -a "$full_log"
  fi
  say "    Warnings and errors in the log, by cause:"
  python3 "$top/tools/installer_log.py" explain "${run_logs[@]}" |
    tee -a "$full_log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || fail "$1 logged warnings of no known cause"
}

# --- Acts ----------------------------------------------------------------

build_act() {
  act "1. Build"
  say "    Debian packages for building and running under Wine: tools/setup.sh"
  if ! quietly "$top/tools/setup.sh"; then
    say "  ! tools/setup.sh failed; its output is in $full_log"
    exit 1
  fi
  say "    Building installer.exe, installer.dll and the stand-in program" \
    "in $out"
  local tty=0
  [ -t 1 ] && tty=1
  "$top/tools/build.sh" "$out" installer_host stand_in 2>&1 |
    tee -a "$full_log" | show_build_progress "$tty"
  if [ "${PIPESTATUS[0]}" -ne 0 ]; then
    say "  ! The build failed; its output is in $full_log"
    exit 1
  fi
  export WINEPREFIX="$out/wineprefix"
  quietly "$top/tools/wine_prefix.sh" start "$WINEPREFIX"
  trap '"$top/tools/wine_prefix.sh" stop "$WINEPREFIX"' EXIT
  . "$top/tools/wine_env.sh"
  log_dir="$WINEPREFIX/drive_c/users/$(id -un)/Temp/Kelvo Installer"
  mkdir -p "$log_dir"
  local version stream
  version=$("$WINE" "$out/bin/installer.exe" --version)
  stream=$("$WINE" "$out/bin/installer.exe" --stream)
  say "    Built the installer of Kelvo $version, stream $stream" \
    "(installer.exe --version, --stream)"
  say "    Wine prefix (a Windows 10 of its own): $WINEPREFIX"
  quietly python3 "$top/tools/make_sample_package.py" "$out/bin" "$package" \
    --files 300 --components "$sample/components"
  say "    Sample package: $package"
  say "      the real installer.exe and installer.dll, stand-ins for the" \
    "browser's programs, 300 data files, files_list, root_files_list;"
  say "      the \"suite\" component's installer in $sample/components"
}

# An installation left by an earlier run goes through its own uninstaller,
# so that this run installs afresh.
remove_earlier_installation() {
  local unix_dir="$WINEPREFIX/drive_c/${install_dir#C:\\}" old version
  for old in "$unix_dir"/*/installer.exe; do
    [ -f "$old" ] || continue
    version=$(basename "$(dirname "$old")")
    say "    Removing the installation an earlier run left ($version)"
    quietly "$WINE" "$install_dir\\$version\\installer.exe" --silent \
      --uninstall || say "    (its uninstall failed; see $full_log)"
  done
  # k.bat deletes what the uninstalling processes held once they ended.
  for _ in $(seq 60); do
    [ -e "$unix_dir/k.bat" ] || break
    sleep 0.5
  done
  rm -rf "$unix_dir"
}

install_act() {
  act "2. Install: the package's installer.exe, silent, as a user would" \
    "start it"
  remove_earlier_installation
  run_installer "$WINE" "$package/installer.exe" --silent \
    "--installfolder=$install_dir" --components=suite:components
  if show_result "the install"; then
    python3 "$top/tools/installation_report.py" installed "$install_dir" |
      tee -a "$full_log"
    [ "${PIPESTATUS[0]}" -eq 0 ] ||
      fail "the installation is not what its install log says"
  fi
  show_logs "the install"
  local unix_dir="$WINEPREFIX/drive_c/${install_dir#C:\\}"
  if [ -f "$unix_dir/installation_status.xml" ]; then
    printf '\n== install log %s\\installation_status.xml\n' "$install_dir" \
      >>"$full_log"
    cat "$unix_dir/installation_status.xml" >>"$full_log"
  fi
  quietly "$WINE" reg query \
    'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s /reg:32 ||
    true
  quietly "$WINE" reg query 'HKLM\Software\Clients\StartMenuInternet' /s ||
    true
}

uninstall_act() {
  act "3. Uninstall: silent, from the installation's version folder"
  local unix_dir="$WINEPREFIX/drive_c/${install_dir#C:\\}" subfolder
  if ! subfolder=$(python3 "$top/tools/installation_report.py" subfolder \
    "$install_dir" 2>&1); then
    say "  ! Nothing to uninstall: $subfolder"
    fail "there was no installation to uninstall"
    return
  fi
  local saved_log="$out/main_job.installation_status.xml"
  cp "$unix_dir/installation_status.xml" "$saved_log"
  run_installer "$WINE" "$install_dir\\$subfolder\\installer.exe" --silent \
    --uninstall
  if show_result "the uninstall"; then
    python3 "$top/tools/installation_report.py" removed "$install_dir" \
      "$saved_log" | tee -a "$full_log"
    [ "${PIPESTATUS[0]}" -eq 0 ] ||
      fail "the uninstall left parts of the installation"
  fi
  show_logs "the uninstall"
}

verdict() {
  say ""
  if [ ${#failures[@]} -eq 0 ]; then
    say "Verdict: OK - the sample package installed and uninstalled cleanly" \
      "under Wine in $(seconds_since "$started"); full output: $full_log"
    say "Run the installer by hand: tools/kelvo.sh (README: \"Running the" \
      "installer by hand\")"
    return 0
  fi
  local reasons
  reasons=$(printf '%s; ' "${failures[@]}")
  say "Verdict: FAILED - ${reasons%; }; full output: $full_log"
  return 1
}

say "Kelvo installer: the main job"
say "  Builds the installer, installs a sample browser package with it" \
  "under Wine, shows the installation, uninstalls it."
say "  Full output (build, the installer's logs, registry): $full_log"
build_act
install_act
uninstall_act
verdict
