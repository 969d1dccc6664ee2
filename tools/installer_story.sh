# Sourced by the scripts that run the installer and tell what it did
# (main_job.sh, kelvo.sh); $top set, tools/wine_env.sh sourced before the
# first run. $story_log, when set, is a file that gets everything shown and
# everything run quietly; failures collects what went wrong.
failures=()
# The scripts' runs of the installer call no update server: no upload of the
# installation statistics, no fetch of the pref default overrides, and a run
# outside an unpacked package fails its package fetch at once (the
# downloader refuses the address) unless a later
# --internal-package-server names a loopback server.
update_server_off=(--enable-installer-stats=0
  --with-feature:installer-pref-default-overrides-support=off
  --internal-package-server=no-server:)

say() {
  if [ -n "${story_log:-}" ]; then
    printf '%s\n' "$*" | tee -a "$story_log"
  else
    printf '%s\n' "$*"
  fi
}

act() {
  say ""
  say "$*"
}

# Runs a command with its output in the story log only.
quietly() {
  printf '\n$ %s\n' "$*" >>"${story_log:-/dev/null}"
  "$@" >>"${story_log:-/dev/null}" 2>&1
}

# Shows a command's output and keeps it in the story log; the command's
# exit code.
shown() {
  "$@" | tee -a "${story_log:-/dev/null}"
  return "${PIPESTATUS[0]}"
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

# run_installer COMMAND...: shows the command line, then the installer's own
# step progress live from its log; sets run_status, run_time and run_logs
# (the run's log files). The command's own output goes to the story log
# when there is one, else to the screen.
run_installer() {
  say "    \$ $(shown_command "$@")"
  local logs_file started_run output=()
  if [ -n "${story_log:-}" ]; then
    printf '\n$ %s\n' "$*" >>"$story_log"
    output=(--output "$story_log")
  fi
  logs_file=$(mktemp)
  started_run=$(date +%s%N)
  run_status=0
  mkdir -p "$KELVO_INSTALLER_LOG_DIR"
  # Straight to the screen: the story log gets the installer's log itself.
  python3 "$top/tools/installer_log.py" follow "$KELVO_INSTALLER_LOG_DIR" \
    --logs "$logs_file" "${output[@]}" -- "$@" || run_status=$?
  run_time=$(seconds_since "$started_run")
  mapfile -t run_logs <"$logs_file"
  rm -f "$logs_file"
}

# The result line of the last run; false when it failed.
show_result() {
  if [ "$run_status" -eq 0 ]; then
    say "    Result:          succeeded (exit code 0) in $run_time"
    return 0
  fi
  local meaning=""
  # The host's own code: it found no usable installer.dll beside it.
  [ "$run_status" -eq 2 ] && meaning=": installer.dll missing or unusable"
  say "  ! Result:          FAILED with exit code $run_status$meaning" \
    "after $run_time"
  fail "$1 failed (exit code $run_status)"
  return 1
}

# Where the run's log is, then its last errors when it failed, else one
# line per cause of its warnings, each saying why it is expected.
show_logs() {
  local log
  for log in "${run_logs[@]}"; do
    say "    Installer log:   $log"
    if [ -n "${story_log:-}" ]; then
      printf '\n== installer log %s\n' "$log" >>"$story_log"
      cat "$log" >>"$story_log"
    fi
  done
  if [ ${#run_logs[@]} -eq 0 ]; then
    # Only the info switches end before the log starts.
    if [ "$run_status" -ne 0 ]; then
      say "  ! Installer log:   none written in $KELVO_INSTALLER_LOG_DIR"
    fi
    return
  fi
  if [ "$run_status" -ne 0 ]; then
    say "    Last errors in the log:"
    shown python3 "$top/tools/installer_log.py" errors "${run_logs[@]}"
    return
  fi
  say "    Warnings and errors in the log, by cause:"
  shown python3 "$top/tools/installer_log.py" explain "${run_logs[@]}" ||
    fail "$1 logged warnings of no known cause"
}

# remove_installation FOLDER: an installation in FOLDER (a Windows path) that
# an earlier run left goes through its own uninstaller, so that the next
# install starts afresh; then the folder goes.
remove_installation() {
  local unix_folder old version
  unix_folder=$(python3 "$top/tools/installation_report.py" path "$1")
  for old in "$unix_folder"/*/installer.exe; do
    [ -f "$old" ] || continue
    version=$(basename "$(dirname "$old")")
    say "    Removing the installation an earlier run left in $1 ($version)"
    quietly "$WINE" "$1\\$version\\installer.exe" --silent --uninstall \
      "${update_server_off[@]}" ||
      say "    (its uninstall failed with exit code $?)"
  done
  # k.bat deletes what the uninstalling processes held once they ended.
  for _ in $(seq 60); do
    [ -e "$unix_folder/k.bat" ] || break
    sleep 0.5
  done
  rm -rf "$unix_folder"
}
