#!/usr/bin/env bash
# wine_prefix.sh start|stop PREFIX
# start: creates the prefix once (Windows 10, crash debugger and dialog off)
#        and starts one persistent wineserver for the run.
# stop:  ends every Wine process of the prefix.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
action=$1
export WINEPREFIX=$2
. "$here/wine_env.sh"

case "$action" in
start)
  if [ ! -f "$WINEPREFIX/.kelvo-ready" ]; then
    rm -rf "$WINEPREFIX"
    mkdir -p "$(dirname "$WINEPREFIX")"
    # The missing 32-bit rundll32 line is harmless: this prefix is 64-bit only.
    "$WINE" wineboot -i </dev/null >/dev/null 2>&1 || true
    "$WINE" winecfg -v win10 </dev/null >/dev/null 2>&1
    "$WINE" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
      /v Debugger /t REG_SZ /d '' /f </dev/null >/dev/null 2>&1 || true
    "$WINESERVER" -w
    touch "$WINEPREFIX/.kelvo-ready"
  fi
  # One persistent server for the whole run, started before any other Wine
  # command of this script: a command that finds no server starts one of its
  # own that ends after a quiet moment, and the next test's Wine process then
  # starts another one, with the prefix's services, all holding that test's
  # output pipe until ctest's time-out. The server detaches itself once it
  # holds the prefix; its error output must not be ours either. A server
  # left by an earlier command ends within seconds; then ours takes over.
  if ! "$WINESERVER" -p </dev/null >/dev/null 2>&1; then
    timeout 30 "$WINESERVER" -w </dev/null >/dev/null 2>&1 || true
    "$WINESERVER" -p </dev/null >/dev/null 2>&1 || true
  fi
  if [ ! -f "$WINEPREFIX/.kelvo-windows" ]; then
    # Without a window manager (Xvfb) a managed window waits two seconds
    # for a withdrawal nobody sends whenever it is destroyed.
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ \
      /d N /f </dev/null >/dev/null 2>&1
    touch "$WINEPREFIX/.kelvo-windows"
  fi
  if [ ! -f "$WINEPREFIX/.kelvo-used-profile" ]; then
    # Keys that a used Windows profile has, which other programs share with
    # the browser: an uninstall takes its own values out of them and leaves
    # the keys, so they must be there before the registry check around the
    # test run saves the registry, as they are on users' machines.
    profile_keys="$WINEPREFIX/.kelvo-used-profile.reg"
    {
      echo 'Windows Registry Editor Version 5.00'
      for type in .htm .html .pdf .shtml .xht .xhtml; do
        echo "[HKEY_CURRENT_USER\\Software\\Classes\\$type\\OpenWithProgIDs]"
      done
      echo '[HKEY_CURRENT_USER\Software\Clients\StartMenuInternet]'
      echo '[HKEY_CURRENT_USER\Software\RegisteredApplications]'
      echo '[HKEY_CURRENT_USER\Software\Microsoft\Windows NT\CurrentVersion\AppCompatFlags\Compatibility Assistant\Persisted]'
      echo '[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Uninstall]'
      # The machine's uninstall entries of 32-bit programs.
      echo '[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall]'
    } >"$profile_keys"
    if "$WINE" reg import "Z:${profile_keys//\//\\}" </dev/null >/dev/null 2>&1; then
      touch "$WINEPREFIX/.kelvo-used-profile"
    fi
    rm -f "$profile_keys"
  fi
  # Other names of one folder, as users have them: the drive S: maps the
  # folder C:\kelvo_aliases\target (a substituted drive) and
  # C:\kelvo_aliases\junction links to it (a junction). Wine keeps both as
  # Unix symbolic links, which Windows programs cannot make here; the tests
  # of folder identity use them.
  mkdir -p "$WINEPREFIX/drive_c/kelvo_aliases/target"
  ln -sfn target "$WINEPREFIX/drive_c/kelvo_aliases/junction"
  ln -sfn ../drive_c/kelvo_aliases/target "$WINEPREFIX/dosdevices/s:"
  # Start the prefix's services now, also detached, so no test inherits them.
  "$WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
  # Task Scheduler 1.0 works only while the prefix's Schedule service runs:
  # started here once per wineserver rather than left to the first call.
  # "Already running" is no failure.
  "$WINE" net start Schedule </dev/null >/dev/null 2>&1 || true
  # The tests of the branches for Windows before Vista run in a program to
  # which the prefix presents Windows XP x64; they check that it does.
  "$WINE" reg add 'HKCU\Software\Wine\AppDefaults\installer_pre_vista_unittests.exe' \
    /v Version /t REG_SZ /d winxp64 /f </dev/null >/dev/null 2>&1 || true
  # A crash that no handler takes must never wait on a dialog: the crash
  # tests end processes that way on purpose.
  if ! grep -qs '"ShowCrashDialog"=dword:00000000' "$WINEPREFIX/user.reg"; then
    "$WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog \
      /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1 || true
  fi
  ;;
stop)
  "$WINESERVER" -k </dev/null >/dev/null 2>&1 || true
  ;;
*)
  echo "usage: $0 start|stop PREFIX" >&2
  exit 2
  ;;
esac
