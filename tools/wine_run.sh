#!/usr/bin/env bash
# Runs one Windows executable under the build folder's Wine prefix; ctest
# uses it as the cross-compiling emulator.
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine_env.sh"
exec "$WINE" "$@"
