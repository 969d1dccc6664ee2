#!/usr/bin/env bash
# The README's main-job command. It installs what is needed, builds the
# installer, makes a sample unpacked browser package and installs it
# silently under Wine as a user would (the package's own installer.exe,
# started with --silent), shows what the installation holds, uninstalls it
# again the same way. Then the road of a real browser's net installer: the
# loopback test server plays the update server and serves the same package
# packed as the update server hands packages out, and a small net installer
# (the installer carrying tracking data) fetches, unpacks and installs it
# silently. It ends with a one-line verdict. The screen tells the
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
started=$(date +%s%N)

sample="$out/sample"
package="$sample/package"
package_as_made="$sample/package_as_made"
install_dir='C:\Kelvo Sample'

# Quiet runs, the installer runs and their outcome: tools/installer_story.sh.
story_log="$full_log"
. "$top/tools/installer_story.sh"

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
    /^ninja: no work to do/ {
      if (shown) printf "\r\033[K"
      shown = 0
      print "    Nothing to build: up to date"
    }
    END { if (shown) printf "\n" }'
}

# --- Acts ----------------------------------------------------------------

build_act() {
  act "1. Build"
  say "    Debian packages for building and running under Wine: tools/setup.sh"
  if ! quietly "$top/tools/setup.sh"; then
    say "  ! tools/setup.sh failed; its output is in $full_log"
    exit 1
  fi
  say "    Building installer.exe, installer.dll, installer_standalone.exe" \
    "(the same without installer.dll) and the stand-in program in $out"
  local tty=0
  [ -t 1 ] && tty=1
  "$top/tools/build.sh" "$out" installer_host installer_standalone \
    stand_in 2>&1 |
    tee -a "$full_log" | show_build_progress "$tty"
  if [ "${PIPESTATUS[0]}" -ne 0 ]; then
    say "  ! The build failed; its output is in $full_log"
    exit 1
  fi
  export WINEPREFIX="$out/wineprefix"
  if ! quietly "$top/tools/wine_prefix.sh" start "$WINEPREFIX"; then
    say "  ! The Wine prefix $WINEPREFIX could not be made; see $full_log"
    exit 1
  fi
  trap '"$top/tools/wine_prefix.sh" stop "$WINEPREFIX"' EXIT
  . "$top/tools/wine_env.sh"
  unix_install_dir=$(python3 "$top/tools/installation_report.py" path \
    "$install_dir")
  local version stream
  version=$("$WINE" "$out/bin/installer.exe" --version)
  stream=$("$WINE" "$out/bin/installer.exe" --stream)
  say "    Built the installer of Kelvo $version, stream $stream" \
    "(installer.exe --version, --stream)"
  say "    Wine prefix (a Windows 10 of its own): $WINEPREFIX"
  quietly python3 "$top/tools/make_sample_package.py" "$out/bin" "$package" \
    --files 300 --components "$sample/components"
  # The update server hands out the package as it was made: installing from
  # the folder leaves the master shortcut and the stand-ins' logs beside the
  # installer, which a fetch unpacks and holds as files of the package.
  rm -rf "$package_as_made"
  cp -a "$package" "$package_as_made"
  say "    Sample package: $package"
  say "      the real installer.exe and installer.dll, stand-ins for the" \
    "browser's programs, 300 data files, files_list, root_files_list;"
  say "      the \"suite\" component's installer in $sample/components"
}

install_act() {
  act "2. Install: the package's installer.exe, silent, as a user would" \
    "start it"
  remove_installation "$install_dir"
  run_installer "$WINE" "$package/installer.exe" --silent \
    "--installfolder=$install_dir" --components=suite:components \
    "${update_server_off[@]}"
  if show_result "the install"; then
    shown python3 "$top/tools/installation_report.py" installed \
      "$install_dir" || fail "the installation is not what its install log says"
  fi
  show_logs "the install"
  if [ -f "$unix_install_dir/installation_status.xml" ]; then
    printf '\n== install log %s\\installation_status.xml\n' "$install_dir" \
      >>"$full_log"
    cat "$unix_install_dir/installation_status.xml" >>"$full_log"
  fi
  quietly "$WINE" reg query \
    'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s /reg:32 ||
    true
  quietly "$WINE" reg query 'HKLM\Software\Clients\StartMenuInternet' /s ||
    true
}

uninstall_act() {
  act "3. Uninstall: silent, from the installation's version folder"
  local subfolder
  if ! subfolder=$(python3 "$top/tools/installation_report.py" subfolder \
    "$install_dir" 2>&1); then
    say "  ! Nothing to uninstall: $subfolder"
    fail "there was no installation to uninstall"
    return
  fi
  local saved_log="$out/main_job.installation_status.xml"
  cp "$unix_install_dir/installation_status.xml" "$saved_log"
  run_installer "$WINE" "$install_dir\\$subfolder\\installer.exe" --silent \
    --uninstall "${update_server_off[@]}"
  if show_result "the uninstall"; then
    shown python3 "$top/tools/installation_report.py" removed \
      "$install_dir" "$saved_log" ||
      fail "the uninstall left parts of the installation"
  fi
  show_logs "the uninstall"
}

net_install_act() {
  act "4. Net install: a small net installer fetches the package from the" \
    "loopback update server and installs it, silent"
  local net="$sample/net" net_dir='C:\Kelvo Net'
  local server_state="$sample/net/server" address
  quietly python3 "$top/tools/net_install.py" pack "$out/bin" \
    "$package_as_made" "$net"
  say "    What the update server hands out ($net):"
  say "      kelvo_net_installer.exe: installer_standalone.exe carrying" \
    "tracking data ($(du -m "$net/kelvo_net_installer.exe" | cut -f1) MB)"
  say "      kelvo_package.exe:       installer_standalone.exe carrying the" \
    "sample package as a 7z archive ($(du -m "$net/kelvo_package.exe" |
      cut -f1) MB)"
  if ! quietly python3 "$top/testing/servers/http_test_server.py" start \
    --state-dir "$server_state"; then
    say "  ! The loopback update server did not start; see $full_log"
    fail "the loopback update server did not start"
    return
  fi
  address=$(python3 "$top/tools/net_install.py" serve "$server_state" \
    "$net/kelvo_package.exe")
  say "    Loopback update server (testing/servers/http_test_server.py):" \
    "$address"
  remove_installation "$net_dir"
  # The loopback server's address comes last: the last switch counts.
  run_installer "$WINE" "$net/kelvo_net_installer.exe" --silent \
    "--installfolder=$net_dir" "${update_server_off[@]}" \
    "--internal-package-server=$address"
  say "    Requests the update server saw:"
  python3 "$top/tools/net_install.py" requests "$server_state" |
    sed 's/^/      /' | tee -a "$full_log"
  quietly python3 "$top/testing/servers/http_test_server.py" stop \
    --state-dir "$server_state"
  if [ ${#run_logs[@]} -gt 0 ]; then
    say "    The package fetcher's steps (from the installer's log):"
    shown python3 "$top/tools/installer_log.py" fetch "${run_logs[@]}"
  fi
  if show_result "the net install"; then
    shown python3 "$top/tools/installation_report.py" installed \
      "$net_dir" || fail "the net installation is not what its install log says"
  fi
  show_logs "the net install"
  # This run leaves no installation behind.
  quietly remove_installation "$net_dir"
}

verdict() {
  say ""
  if [ ${#failures[@]} -eq 0 ]; then
    say "Verdict: OK - the sample package installed and uninstalled cleanly," \
      "and installed from the loopback update server, under Wine in" \
      "$(seconds_since "$started"); full output: $full_log"
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
  "under Wine, shows the installation, uninstalls it; then installs the" \
  "package as a net install from a loopback update server."
say "  Full output (build, the installer's logs, registry): $full_log"
build_act
install_act
uninstall_act
net_install_act
verdict
