# Sourced by the Wine scripts: one prefix per build folder, quiet, no crash
# debugger, no Mono or Gecko prompts.
: "${WINEPREFIX:?set WINEPREFIX to the prefix of the build folder}"
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
# WinINet takes its proxy from these: requests must go straight to the
# loopback test servers and nowhere else.
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY ftp_proxy FTP_PROXY \
  no_proxy NO_PROXY all_proxy ALL_PROXY
# Crash reports go to a loopback port where nothing listens, unless a test
# points them at its own server: never to the branding's crash servers.
export KELVO_CRASH_SERVER_URL="${KELVO_CRASH_SERVER_URL:-http://127.0.0.1:9/crash}"
export KELVO_ALTERNATIVE_CRASH_SERVER_URL="${KELVO_ALTERNATIVE_CRASH_SERVER_URL:-http://127.0.0.1:9/collector}"
# The prefix links Desktop, Documents and Downloads to $HOME: keep them in a
# scratch folder beside the prefix, never in the user's real home.
export HOME="${WINEPREFIX}.home"
mkdir -p "$HOME"
# Where the installer writes its log files: %TEMP%\Kelvo Installer.
export KELVO_INSTALLER_LOG_DIR="$WINEPREFIX/drive_c/users/$(id -un)/Temp/Kelvo Installer"
if [ -x /usr/lib/wine/wine64 ]; then
  WINE=/usr/lib/wine/wine64
else
  WINE=$(command -v wine64 || command -v wine)
fi
export WINE
if [ -x /usr/lib/wine/wineserver64 ]; then
  WINESERVER=/usr/lib/wine/wineserver64
else
  WINESERVER=$(command -v wineserver)
fi
export WINESERVER
